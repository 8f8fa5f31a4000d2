#include "server/ui/CServerChooseDirectoryDlg.h"

#include "common/ui/FolderImages.h"

CServerChooseDirectoryDlg::CServerChooseDirectoryDlg(QWidget* parent, DriveSource drives)
    : CChooseDirectoryDlg(parent, std::move(drives),
                          Look{"Wexmoor - Choose Directory / Path", "Wexmoor", MakeFolderTreeImages(), false}) {}
