#include "platform/PaintMessages.h"

namespace movrano {

void ProcessPaintMessages() {}

}  // namespace movrano
