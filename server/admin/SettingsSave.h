#pragma once
// One change of the server settings as the administration dialogs make it: under
// the user-table section the change is made and the users file saved; when the
// save fails the change is undone and the user told, so memory and file agree.
#include <functional>

class CWexmoorDoc;
class ServerSettings;

// `change` changes the settings and returns what undoes it. True when saved; a
// failed save is told to the user unless `tellUser` is false (the caller says so).
bool SaveSettingsChange(CWexmoorDoc& document,
                        const std::function<std::function<void(ServerSettings&)>(ServerSettings&)>& change,
                        bool tellUser = true);
