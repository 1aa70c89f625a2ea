#include "app/SearchBar.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/LanguageStore.h"
#include "results/TypeGroups.h"
#include "storage/FormatSize.h"

namespace salvora {
namespace {

// The type choices in their order; the first takes every type.
const char* const kTypeGroups[] = {"", "photo", "audio", "video", "document", "archive", "other"};
const char* const kTypeKeys[] = {"SearchTypeAny",      "SearchTypePhoto",   "SearchTypeAudio",
                                 "SearchTypeVideo",    "SearchTypeDocument", "SearchTypeArchive",
                                 "SearchTypeOther"};
const uint8_t kStates[] = {0, kStateDeleted, kStateLive, kStateCarved, kStateDamaged};
const char* const kStateKeys[] = {"SearchStateAny", "SearchStateDeleted", "SearchStateLive",
                                  "SearchStateCarved", "SearchStateDamaged"};

// Typing pauses this long before the list is narrowed again.
constexpr int kSettleMs = 250;

QString Text(const char* key) { return LanguageStore::Instance().Text("MainWnd", key); }

template <typename Value, typename Parse>
bool ReadField(const QLineEdit* field, Parse parse, Value& into) {
  QString text = field->text().trimmed();
  if (text.isEmpty()) return true;
  auto parsed = parse(text.toStdString());
  if (!parsed) return false;
  into = *parsed;
  return true;
}

}  // namespace

SearchBar::SearchBar(QWidget* parent) : QWidget(parent) {
  setObjectName("SearchBar");
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  name_ = AddField("SearchName");
  name_->setClearButtonEnabled(true);
  type_ = AddChoice("SearchType", static_cast<int>(std::size(kTypeKeys)));
  state_ = AddChoice("SearchState", static_cast<int>(std::size(kStateKeys)));
  minSize_ = AddField("SearchMinSize");
  maxSize_ = AddField("SearchMaxSize");
  after_ = AddField("SearchAfter");
  before_ = AddField("SearchBefore");
  info_ = new QLabel(this);
  info_->setObjectName("SearchInfo");
  selectMatches_ = new QPushButton(this);
  selectMatches_->setObjectName("BtnSelectMatches");
  grid->addWidget(name_, 0, 0, 1, 2);
  grid->addWidget(type_, 0, 2);
  grid->addWidget(state_, 0, 3);
  grid->addWidget(minSize_, 1, 0);
  grid->addWidget(maxSize_, 1, 1);
  grid->addWidget(after_, 1, 2);
  grid->addWidget(before_, 1, 3);
  grid->addWidget(info_, 2, 0, 1, 3);
  grid->addWidget(selectMatches_, 2, 3);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  setTabOrder(name_, type_);
  setTabOrder(type_, state_);
  setTabOrder(state_, minSize_);
  setTabOrder(minSize_, maxSize_);
  setTabOrder(maxSize_, after_);
  setTabOrder(after_, before_);
  setTabOrder(before_, selectMatches_);

  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &SearchBar::CriteriaChanged);
  connect(selectMatches_, &QPushButton::clicked, this, &SearchBar::SelectMatchesClicked);
  // Enter applies at once what is typed.
  for (QLineEdit* field : {name_, minSize_, maxSize_, after_, before_})
    connect(field, &QLineEdit::returnPressed, this, [this] {
      settle_.stop();
      emit CriteriaChanged();
    });
  Retext();
}

QLineEdit* SearchBar::AddField(const char* name) {
  auto* field = new QLineEdit(this);
  field->setObjectName(name);
  connect(field, &QLineEdit::textChanged, this, &SearchBar::Changed);
  return field;
}

QComboBox* SearchBar::AddChoice(const char* name, int items) {
  auto* choice = new QComboBox(this);
  choice->setObjectName(name);
  for (int i = 0; i < items; ++i) choice->addItem(QString());
  connect(choice, &QComboBox::currentIndexChanged, this, [this] {
    settle_.stop();
    emit CriteriaChanged();
  });
  return choice;
}

void SearchBar::Changed() { settle_.start(); }

void SearchBar::Retext() {
  name_->setPlaceholderText(Text("SearchName"));
  minSize_->setPlaceholderText(Text("SearchMinSize"));
  maxSize_->setPlaceholderText(Text("SearchMaxSize"));
  after_->setPlaceholderText(Text("SearchAfter"));
  before_->setPlaceholderText(Text("SearchBefore"));
  for (QLineEdit* field : {name_, minSize_, maxSize_, after_, before_})
    field->setAccessibleName(field->placeholderText());
  for (int i = 0; i < type_->count(); ++i) type_->setItemText(i, Text(kTypeKeys[i]));
  for (int i = 0; i < state_->count(); ++i) state_->setItemText(i, Text(kStateKeys[i]));
  type_->setAccessibleName(Text("SearchType"));
  state_->setAccessibleName(Text("SearchState"));
  selectMatches_->setText(Text("BtnSelectMatches"));
  info_->setAccessibleName(Text("SearchInfo"));
}

bool SearchBar::Criteria(RecordCriteria& criteria) const {
  criteria = RecordCriteria{};
  criteria.name = name_->text().trimmed().toStdString();
  criteria.typeList = GroupListByName(kTypeGroups[std::max(0, type_->currentIndex())]);
  criteria.states = kStates[std::max(0, state_->currentIndex())];
  return ReadField(minSize_, ParseByteSize, criteria.minSize) &&
         ReadField(maxSize_, ParseByteSize, criteria.maxSize) &&
         ReadField(after_, ParseDayStart, criteria.modifiedFrom) &&
         ReadField(before_, ParseDayStart, criteria.modifiedBefore);
}

void SearchBar::ShowMatches(size_t matching, size_t all, uint64_t bytes) {
  RecordCriteria criteria;
  if (!Criteria(criteria)) {
    info_->setText(Msg("MSG2201"));
    selectMatches_->setEnabled(false);
    return;
  }
  info_->setText(MsgFormat("MSG2200", {static_cast<uint64_t>(matching), static_cast<uint64_t>(all),
                                       FormatSize(static_cast<int64_t>(bytes))}));
  selectMatches_->setEnabled(matching > 0);
}

void SearchBar::FocusName() {
  name_->setFocus(Qt::ShortcutFocusReason);
  name_->selectAll();
}

}  // namespace salvora
