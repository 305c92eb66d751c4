// Lets SIGTERM and SIGINT close the windows the way the user's close does, so the
// program ends cleanly (the close handler runs, the event loop returns). Unix only;
// elsewhere it does nothing.
#pragma once

void CloseWindowsOnTerminationSignals();
