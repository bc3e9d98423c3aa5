#pragma once
// Entry point of every operator action and timer tick that may exchange with
// the controller. The action runs only when no other exchange is in progress
// (a click during a read-out that lets events run does nothing on the port);
// an action abandoned with AbortAction shows its message and returns.
#include <functional>

#include "core/Abort.h"
#include "core/Messages.h"
#include "link/Link.h"

namespace calorix {

// Returns false when the link was busy and nothing ran.
inline bool runAction(Link& link, Messages& messages, const std::function<void()>& action) {
  if (!link.tryBegin()) return false;
  struct Release {
    Link& link;
    ~Release() { link.end(); }
  } release{link};
  try {
    action();
  } catch (const AbortAction& abandoned) {
    messages.show(abandoned.message());
  }
  return true;
}

}  // namespace calorix
