#include "zarn/ui/zrninput.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "framework/qtstrings.h"
#include "zarn/zarnctx.h"

ZrnInput::ZrnInput(ZarnContext* ctx, QWidget* parent, int resId) : QDialog(parent), ctx_(ctx) {
  if (resId) setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("Enter ZarnName"));
  setModal(true);
  setFixedSize(300, 120);

  InputEdit_ = new QLineEdit(QStringLiteral(" this"), this);
  InputEdit_->setObjectName(QStringLiteral("1076"));
  InputEdit_->setGeometry(40, 60, 140, 20);
  InputEdit_->setMaxLength(20);

  auto* prompt = new QLabel(QStringLiteral("Enter ZarnName"), this);
  prompt->setObjectName(QStringLiteral("2"));
  prompt->setGeometry(40, 82, 140, 20);

  // OK runs BNOKClicked so the name typed reaches GlobalString; the Cancel
  // button carries the id the command table routes to BNCancelClicked.
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setGeometry(200, 10, 90, 28);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("1073"));
  cancel->setGeometry(200, 44, 90, 28);
  cancel->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &ZrnInput::BNOKClicked);
  connect(cancel, &QPushButton::clicked, this, &ZrnInput::BNCancelClicked);

  InputEdit_->setFocus();
  InputEdit_->selectAll();
}

ZrnInput::~ZrnInput() = default;

void ZrnInput::SetText(const QString& text) {
  InputEdit_->setText(text);
  InputEdit_->selectAll();
}

void ZrnInput::BNOKClicked() {
  // A one-line entry: its first line is its whole text.
  std::string line = FromQt(InputEdit_->text().section(QLatin1Char('\n'), 0, 0));
  if (line.size() > 19) {
    line.resize(19);
    // Never end in the middle of a multi-byte character.
    std::size_t end = line.size();
    while (end > 0 && (static_cast<unsigned char>(line[end - 1]) & 0xC0) == 0x80) --end;
    if (end > 0 && static_cast<unsigned char>(line[end - 1]) >= 0xC0) {
      const unsigned char lead = static_cast<unsigned char>(line[end - 1]);
      const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      if (line.size() - (end - 1) < need) line.resize(end - 1);
    }
  }
  result_ = line;
  if (ctx_) ctx_->GlobalString = line;
  accept();
}

void ZrnInput::BNCancelClicked() { reject(); }
