// The framework in one include.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "framework/Messages.h"
#include "framework/MessageMap.h"
#include "framework/String.h"
#include "framework/Types.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
