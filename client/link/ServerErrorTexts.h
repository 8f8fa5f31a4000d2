#pragma once
// The texts of the server's error numbers, kept outside the program in
// "ErrorStringLookup.txt" so they can be reworded without a new build: the working
// folder's copy when there is one, else the installed one, else (and for a number
// the file lacks) the copy built into the program. Each
// line: a decimal number, a comma and the text (best in double quotes, inner quotes
// doubled); LF or CR LF line ends; empty lines are skipped; the first matching line wins.
#include <string>

class ServerErrorTexts {
 public:
  static constexpr const char* kFileName = "ErrorStringLookup.txt";
  static constexpr const char* kDefaultText =
      "Wexmoor has reported an error that cannot be identified with this version of Brannock.  "
      "Try downloading the latest Brannock from the Internet.";

  // The lookup file: the one in `workingFolder` when it exists, else the one in
  // `installedFolder` (default: the install's data folder) when that exists, else
  // the working folder's path (whose absence gives the default text).
  static std::string FilePath(const std::string& workingFolder);
  static std::string FilePath(const std::string& workingFolder, const std::string& installedFolder);

  // The text of `number` in the file at `path`; when the file cannot be read or no
  // line lists the number, the text built into the program; kDefaultText when that
  // lists none either. A listed number with an empty text gives "".
  static std::string Lookup(const std::string& path, int number);
};
