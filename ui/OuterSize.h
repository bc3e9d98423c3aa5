#pragma once
// Window sizes of the console are given as outer sizes (border and caption
// included), as the window was designed. Qt sizes a top-level widget by its
// client area (geometry()), and the real frame (frameGeometry()) is known only
// once the window manager has decorated a shown window, and not at all on the
// offscreen platform. So the outer size is mapped onto the client area with the
// designed frame: 8 pixels of borders across, 34 of caption and borders down.
// The designed client area 728 x 371 of the main window is its outer 736 x 405.
#include <QSize>
#include <QWidget>

namespace calorix {

inline constexpr int kFrameWidth = 8;
inline constexpr int kFrameHeight = 34;

inline QSize clientSizeForOuter(int outerWidth, int outerHeight) {
  return QSize(outerWidth - kFrameWidth, outerHeight - kFrameHeight);
}

inline QSize outerSizeOf(const QWidget& window) {
  return window.size() + QSize(kFrameWidth, kFrameHeight);
}

inline void setOuterSize(QWidget& window, int outerWidth, int outerHeight) {
  window.resize(clientSizeForOuter(outerWidth, outerHeight));
}

}  // namespace calorix
