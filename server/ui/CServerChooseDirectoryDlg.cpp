#include "server/ui/CServerChooseDirectoryDlg.h"

#include "common/ui/FolderImages.h"
#include "platform/ui/WindowPlacement.h"

CServerChooseDirectoryDlg::CServerChooseDirectoryDlg(QWidget* parent, DriveSource drives)
    : CChooseDirectoryDlg(parent, std::move(drives),
                          Look{"Wexmoor - Choose Directory / Path", MakeFolderTreeImages(), false}) {
  platform::ui::FinishDialog(*this);
}
