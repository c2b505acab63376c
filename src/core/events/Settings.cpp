#include "events/Settings.h"

namespace vespin {

WindowPos PlaceWindow(int storedLeft, int storedTop, int screenWidth, int screenHeight,
                      int windowWidth) {
  WindowPos pos;
  pos.left = storedLeft < screenWidth ? storedLeft : screenWidth - windowWidth;
  pos.top = storedTop < screenHeight ? storedTop : 0;
  return pos;
}

}  // namespace vespin
