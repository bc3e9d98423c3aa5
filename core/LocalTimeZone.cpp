#include "core/LocalTimeZone.h"

#include <cstdlib>

#if defined(__unix__)
#include <unistd.h>
#endif

namespace calorix {

void pinLocalTimeZone() {
#if defined(__unix__)
  if (std::getenv("TZ") == nullptr && access("/etc/localtime", R_OK) == 0)
    setenv("TZ", ":/etc/localtime", 0);
#endif
}

}  // namespace calorix
