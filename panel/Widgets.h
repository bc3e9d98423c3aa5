#pragma once
// The small drawn controls of the main window: a coloured circle (lamps, the
// link light, the key circles) and a drawn key made of two circles.
#include <QColor>
#include <QPoint>
#include <QWidget>

namespace calorix::panel {

class Circle : public QWidget {
  Q_OBJECT
 public:
  Circle(QWidget* parent, const QColor& color);
  QColor color() const { return color_; }
  void setColor(const QColor& color);

 signals:
  void mousePressed();
  void mouseReleased();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  QColor color_;
};

// A front-panel key: the lower circle stays put, the upper one takes the mouse
// and sits up-left at rest, down-right while pressed.
class DrawnKey : public QObject {
  Q_OBJECT
 public:
  // lowerAt: place of the lower circle; rest / pressed: offsets of the upper
  // circle from it (the same in x and y).
  DrawnKey(QWidget* parent, const QString& name, QPoint lowerAt, QSize lowerSize, QSize upperSize,
           int rest, int pressed, const QColor& lowerColor);
  Circle* top() const { return top_; }
  Circle* down() const { return down_; }
  bool isDrawnPressed() const { return drawnPressed_; }
  void showPressed();
  void showAtRest();

 private:
  Circle* down_;
  Circle* top_;
  int rest_;
  int pressed_;
  bool drawnPressed_ = false;
};

}  // namespace calorix::panel
