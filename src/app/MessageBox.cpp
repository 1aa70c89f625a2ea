#include "app/MessageBox.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/LanguageStore.h"
#include "app/Skin.h"

namespace salvora {
namespace {

struct KindLook {
  const char* skin;
  const char* titleKey;
  QStyle::StandardPixmap icon;
};

const KindLook kLooks[] = {
    {"MessageBox_Error", "MSG0401", QStyle::SP_MessageBoxCritical},
    {"MessageBox_Confirm", "MSG0402", QStyle::SP_MessageBoxQuestion},
    {"MessageBox_Information", "MSG0403", QStyle::SP_MessageBoxInformation},
    {"MessageBox_Warning", "MSG0405", QStyle::SP_MessageBoxWarning},
    {"MessageBox_Question", "MSG0404", QStyle::SP_MessageBoxQuestion},
};

int KnownKind(int kind) { return kind >= 0 && kind <= 4 ? kind : CMessageBox::kError; }

}  // namespace

CMessageBox::CMessageBox(QWidget* owner, int kind, const QString& text)
    : QDialog(owner), kind_(KnownKind(kind)) {
  const KindLook& look = kLooks[kind_];
  form_ = LoadSkin(look.skin, this);
  textLabel_ = Bind<QLabel>(form_, "text");
  textLabel_->setText(text);
  int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  Bind<QLabel>(form_, "icon")->setPixmap(style()->standardIcon(look.icon).pixmap(iconSize));
  auto* ok = Bind<QPushButton>(form_, "okbtn");
  connect(ok, &QPushButton::clicked, this, [this] { done(kOk); });
  auto* cancel = Bind<QPushButton>(form_, "cancelbtn");
  connect(cancel, &QPushButton::clicked, this, [this] { done(kCancel); });
  // Errors, information and warnings are acknowledged, not answered.
  cancel->setVisible(kind_ == kConfirm || kind_ == kQuestion);
  // A confirmation's yes writes where lost files may lie: Enter, or a
  // key pressed by habit, must take the safe answer.
  // The layout makes cancelbtn the default; the focus follows it.
  if (kind_ == kConfirm) cancel->setFocus();
  connect(&LanguageStore::Instance(), &LanguageStore::Changed, this, &CMessageBox::Retext);
  Retext();
}

void CMessageBox::Dismiss() {
  dismissed_ = true;
  done(kDismissed);
}

void CMessageBox::Retext() {
  ApplyTexts(form_);
  setWindowTitle(Msg(kLooks[kind_].titleKey));
}

int CMessageBox::Show(QWidget* owner, int kind, const QString& text, int width, int height) {
  CMessageBox box(owner, kind, text);
  box.resize(box.sizeHint().expandedTo(QSize(width, height)));
  int answer = box.exec();
  if (answer == kDismissed && box.dismissed_) return kDismissed;
  return answer == kOk ? kOk : kCancel;
}

}  // namespace salvora
