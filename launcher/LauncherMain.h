#pragma once

// The launcher's entry function and its three phases: start-up (services, files, texts, dialog, adapter,
// lists), the polling message loop, and shutdown (settings written, dialog destroyed, game started).
namespace launcher {

constexpr int kExitNormal = 0;
constexpr int kExitFailure = -1;  // no graphics adapter, one too weak, no languages, no window

// Start-up, in order. True when the dialog is shown and the loop may run; false when the launcher must end
// with exitCode (the reason has been shown in a message box, and nothing was written).
bool launcherStartUp(int& exitCode);

// Takes and dispatches every waiting message, sleeps 10 ms, and again, until the dialog clears `running`.
void runMessageLoop();

// Collects and writes the settings, destroys the dialog, and starts the game when the start area was
// clicked, waiting until it ends. Returns the exit code.
int launcherShutDown();

// The whole run: start-up, loop, shutdown. 0 after a normal end, -1 when the launcher cannot run.
int launcherMain();

}  // namespace launcher
