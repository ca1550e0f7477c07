#pragma once

// Everything a window class needs from the UI layer.
#include "platform/ui/Controls.h"
#include "platform/ui/DialogBuilder.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/NotifyPump.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/UiTypes.h"
#include "platform/ui/WindowImplBase.h"
