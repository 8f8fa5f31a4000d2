#pragma once
// One row of the local file list as shown: the six column texts and the image (an
// index into the list's image strip) of a LocalFileEntry. "." and ".." are the
// rows "Choose Directory" and "Up to Parent Directory" with no other texts.
#include <array>
#include <string>

#include "client/document/LocalFileEntry.h"

struct LocalFileRow {
  static constexpr const char* kChooseDirectory = "Choose Directory";
  static constexpr const char* kUpToParent = "Up to Parent Directory";
  enum Image {
    kFolderImage = 2,
    kMappedFolderImage = 4,
    kMemberImage = 5,
    kCheckedOutImage = 6,
    kFileImage = 8,
    kChooseImage = 9,
    kParentImage = 10,
  };

  std::array<std::string, 6> texts;
  int image = kFileImage;

  // Sizes are grouped with the user's numeric locale and followed by " Bytes".
  static LocalFileRow Of(const LocalFileEntry& entry);
};
