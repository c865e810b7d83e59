#pragma once
// Answers the updater's boxes and dialogs as a user at the screen would,
// step by step, from a script in UTF-8, one step a line:
//
//   caption=OmBry - Auto update | owner=___OMBUP___TRW___ | text=... | action=yes
//
//   caption  the exact caption of a visible top-level dialog to wait for
//   owner    the class of the window that owns it, or "none"
//   text     its message text exactly (a message box's static 0xFFFF);
//            left out, the text is not looked at
//   delay    milliseconds to wait once it has appeared, before the rest
//   shot     save a picture of it to this BMP file
//   touch    create this file once the dialog has been seen (and forged at):
//            the release host holds a body back until it exists
//   action   yes, no, ok or cancel: press that button; wait-gone: wait until
//            the dialog goes by itself; forge-reports: send it reports that
//            do not come from its download, as another program could, then
//            wait until it goes by itself; none: leave it
//
// Lines that are empty or start with "#" are skipped. Each step waits at most
// step_timeout_ms for its dialog, and for it to go. The log gets a line for
// each step done ("caption: \"text\" -> action") and the reason the first
// that did not go as written failed. The end-to-end tests run it in their own
// process; tests/fixtures/dialog_driver.cpp is the same as a program.
#include <windows.h>

#include <string>
#include <vector>

enum class dialog_script_result { done, failed, bad_script };

dialog_script_result run_dialog_script(const std::vector<std::string>& lines, std::string& log,
                                       DWORD step_timeout_ms = 60000);
