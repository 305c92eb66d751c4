// The program's entry routine, shared by vorlane and vorlane-demo.
#pragma once

#include <functional>
#include <memory>

#include "hid_backend.h"

class TMainForm;

// The one main window while the program runs.
extern TMainForm* MainForm;

using BackendFactory = std::function<std::unique_ptr<vorlane::HidBackend>()>;
// Called with the window once it is shown (the demo adds its controls there).
using WindowHook = std::function<void(TMainForm&)>;

// Registers the font, creates and shows the main window and runs the event loop.
// An exception escaping start-up is shown in a message box. Always returns 0.
int RunApplication(int& argc, char** argv, const BackendFactory& makeBackend,
                   const WindowHook& onShown = {});
