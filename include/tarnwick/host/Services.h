#pragma once
// The host's services, one set per process, each replaceable by a client
// (a null pointer puts the headless one back). The routines reach them by
// name through the automation object of class "Tarnwick.Host" (HostObject.h);
// the start procedure reads its screen factors from the screen here, and
// the library's folders come from the folder service here.
#include <tarnwick/automation/Export.h>
#include <tarnwick/host/Clipboard.h>
#include <tarnwick/host/Folders.h>
#include <tarnwick/host/FormFactory.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Progress.h>
#include <tarnwick/host/Screen.h>
#include <tarnwick/host/SystemMetrics.h>
#include <tarnwick/host/WindowStack.h>

#include <memory>

namespace tarnwick::host {

TARNWICK_API std::shared_ptr<Screen> screen();
TARNWICK_API std::shared_ptr<Clipboard> clipboard();
TARNWICK_API std::shared_ptr<MessageBox> messageBox();
TARNWICK_API std::shared_ptr<SystemMetrics> systemMetrics();
TARNWICK_API std::shared_ptr<SystemColours> systemColours();
TARNWICK_API std::shared_ptr<WindowStack> windowStack();
TARNWICK_API std::shared_ptr<Folders> folders();
// Where new forms get their windows and widgets (FormFactory.h).
TARNWICK_API std::shared_ptr<FormFactory> formFactory();

TARNWICK_API void setScreen(std::shared_ptr<Screen> service);
TARNWICK_API void setClipboard(std::shared_ptr<Clipboard> service);
TARNWICK_API void setMessageBox(std::shared_ptr<MessageBox> service);
TARNWICK_API void setSystemMetrics(std::shared_ptr<SystemMetrics> service);
TARNWICK_API void setSystemColours(std::shared_ptr<SystemColours> service);
TARNWICK_API void setWindowStack(std::shared_ptr<WindowStack> service);
TARNWICK_API void setFolders(std::shared_ptr<Folders> service);
TARNWICK_API void setFormFactory(std::shared_ptr<FormFactory> service);

// The progress service is optional: nullptr (the default) when the host
// has none, and setting nullptr removes it.
TARNWICK_API std::shared_ptr<Progress> progress();
TARNWICK_API void setProgress(std::shared_ptr<Progress> service);

// The headless message box when it is the one installed, else nullptr:
// tests script its answers and read its prompts.
TARNWICK_API std::shared_ptr<ScriptedMessageBox> scriptedMessageBox();

// Puts every service back to a fresh headless one.
TARNWICK_API void resetServices();

}  // namespace tarnwick::host
