#include "client/ui/CAboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "common/Version.h"

namespace {

constexpr const char* kProgramIcon = ":/brannock/brannock-program.xpm";

}  // namespace

CAboutDlg::CAboutDlg(bool publisher, QWidget* parent)
    : ClientDialog("CAboutDlg", kDialogId, "About " + ProgramTitle(publisher), parent) {
  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap(kProgramIcon).scaled(48, 48));
  auto* name = new QLabel(ProgramTitle(publisher) + " Version " + kWexVersion, this);
  name->setObjectName("1000");
  auto* text = new QHBoxLayout;
  text->addWidget(icon);
  text->addWidget(name, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(text);
  QDialogButtonBox* buttons = MakeButtonBox(QDialogButtonBox::Ok);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  SetControlHelp(ok, 1, "Closes this box.");
  layout->addWidget(buttons);
  setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);
}

QString CAboutDlg::ProgramName(bool publisher) { return publisher ? "BrannockPublisher" : "Brannock"; }

QString CAboutDlg::ProgramTitle(bool publisher) { return publisher ? "Brannock Publisher" : "Brannock"; }
