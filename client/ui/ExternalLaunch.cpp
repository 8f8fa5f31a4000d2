#include "client/ui/ExternalLaunch.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStringList>
#include <QUrl>
#include <utility>

namespace {

ExternalLaunch::Handler& TestHandler() {
  static ExternalLaunch::Handler handler;
  return handler;
}

std::vector<std::string> ToStrings(const QStringList& list) {
  std::vector<std::string> strings;
  for (const QString& text : list) strings.push_back(text.toStdString());
  return strings;
}

}  // namespace

bool ExternalLaunch::OpenWithDesktop(const std::string& path) {
  if (TestHandler()) return TestHandler()("", {path});
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool ExternalLaunch::StartCompare(const std::string& command, const std::string& left, const std::string& right) {
  QStringList arguments = QProcess::splitCommand(QString::fromStdString(command));
  if (arguments.isEmpty()) return false;
  const QString program = arguments.takeFirst();
  arguments << QString::fromStdString(left) << QString::fromStdString(right);
  if (TestHandler()) return TestHandler()(program.toStdString(), ToStrings(arguments));
  return QProcess::startDetached(program, arguments);
}

void ExternalLaunch::SetHandlerForTesting(Handler handler) { TestHandler() = std::move(handler); }
