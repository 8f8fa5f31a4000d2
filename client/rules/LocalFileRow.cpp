#include "client/rules/LocalFileRow.h"

#include "client/rules/LocalFolderListing.h"
#include "platform/NumberLocale.h"

LocalFileRow LocalFileRow::Of(const LocalFileEntry& entry) {
  LocalFileRow row;
  const bool folder = entry.IsDirectory();
  if (folder && entry.GetBaseName() == LocalFolderListing::kParentEntry) {
    row.texts[0] = kUpToParent;
    row.image = kParentImage;
    return row;
  }
  if (folder && entry.GetBaseName() == LocalFolderListing::kChooseEntry) {
    row.texts[0] = kChooseDirectory;
    row.image = kChooseImage;
    return row;
  }
  const bool member = entry.IsProjectMember();
  if (folder) {
    row.image = member ? kMappedFolderImage : kFolderImage;
  } else if (member) {
    row.image = entry.IsCheckedOut() ? kCheckedOutImage : kMemberImage;
  }
  row.texts[LocalFolderListing::kName] = entry.GetFileName();
  if (!folder) {
    row.texts[LocalFolderListing::kModified] = entry.GetModifiedText();
    row.texts[LocalFolderListing::kEditStatus] = entry.IsReadOnly() ? "Read Only" : "Write Enabled";
    row.texts[LocalFolderListing::kSize] = platform::GroupDigits(entry.GetSize()) + " Bytes";
    if (member && entry.IsCheckedOut()) row.texts[LocalFolderListing::kCheckOutStatus] = "Checked Out";
  }
  if (member) row.texts[LocalFolderListing::kProjectStatus] = "Project Member";
  return row;
}
