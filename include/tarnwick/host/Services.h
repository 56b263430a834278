#pragma once
// The host's services, one set per process, each replaceable by a client
// (a null pointer puts the headless one back). The routines reach them by
// name through the automation object of class "Tarnwick.Host" (HostObject.h);
// the start procedure reads its screen factors from the screen here, and
// the library's folders come from the folder service here.
#include <tarnwick/host/Clipboard.h>
#include <tarnwick/host/Folders.h>
#include <tarnwick/host/FormFactory.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Screen.h>
#include <tarnwick/host/SystemMetrics.h>
#include <tarnwick/host/WindowStack.h>

#include <memory>

namespace tarnwick::host {

std::shared_ptr<Screen> screen();
std::shared_ptr<Clipboard> clipboard();
std::shared_ptr<MessageBox> messageBox();
std::shared_ptr<SystemMetrics> systemMetrics();
std::shared_ptr<SystemColours> systemColours();
std::shared_ptr<WindowStack> windowStack();
std::shared_ptr<Folders> folders();
// Where new forms get their windows and widgets (FormFactory.h).
std::shared_ptr<FormFactory> formFactory();

void setScreen(std::shared_ptr<Screen> service);
void setClipboard(std::shared_ptr<Clipboard> service);
void setMessageBox(std::shared_ptr<MessageBox> service);
void setSystemMetrics(std::shared_ptr<SystemMetrics> service);
void setSystemColours(std::shared_ptr<SystemColours> service);
void setWindowStack(std::shared_ptr<WindowStack> service);
void setFolders(std::shared_ptr<Folders> service);
void setFormFactory(std::shared_ptr<FormFactory> service);

// The headless message box when it is the one installed, else nullptr:
// tests script its answers and read its prompts.
std::shared_ptr<ScriptedMessageBox> scriptedMessageBox();

// Puts every service back to a fresh headless one.
void resetServices();

}  // namespace tarnwick::host
