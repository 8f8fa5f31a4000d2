#pragma once
// The documents of a retrieval whose local file is the user's working copy of a
// check-out they hold: the library's version would replace their edits. Found from
// the project's document list and the folder the files go to; the user is asked
// once, for all of them together, and by default the working copies stay.
#include <string>
#include <vector>

#include "client/library/ProjectDocumentList.h"

class HeldWorkingCopies {
 public:
  static constexpr const char* kQuestionHead =
      "These documents are checked out to you, and the files the retrieval would replace are your working "
      "copies:\r\n\r\n";
  static constexpr const char* kQuestion =
      "\r\nReplace your working copies with the library's versions? Your changes in them would be lost.\r\n"
      "No keeps your working copies and retrieves the other documents.";

  // Among `names`, those that `userName` holds checked out in `list` and that have a
  // file in `folder`, in the order of `names`. None for an empty user or folder, or a
  // name unfit to be a file name.
  static std::vector<std::string> Find(const ProjectDocumentList& list, const std::string& userName,
                                       const std::string& folder, const std::vector<std::string>& names);
  // The question naming the project and every working copy found.
  static std::string QuestionText(const std::string& projectName, const std::vector<std::string>& names);
};
