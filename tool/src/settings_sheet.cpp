#include "settings_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "prompter.h"
#include "record_dialog.h"
#include "text_ids.h"
#include "texts.h"
#include "ut_session.h"

namespace utvex {

namespace {
constexpr int kLinkCheckMs = 1000;
bool isListPage(PageId id) { return id == PageId::PhoneBook || id == PageId::ServiceProviders; }
// Settings that two pages show: the home service provider belongs with the
// satellite NAM and with the service providers. Other labels repeat for
// different values (each cellular NAM's own access overload class).
bool isShared(uint32_t label) { return label == text::kHomeSp; }
}  // namespace

SheetData readSheet(Session& session) {
  SheetData data;
  auto version = session.connectionAs<IVexVersionExt>();
  if (!version) {
    data.hr = E_NOINTERFACE;
    data.failureText = 61230;
    return data;
  }
  HRESULT hr = version->UpdateAllItems();
  if (FAILED(hr)) {
    data.hr = hr;
    data.failureText = 61231;
    return data;
  }
  hr = version->GetUTMainModel(&data.model);
  if (FAILED(hr)) {
    data.hr = hr;
    data.failureText = 61274;
    return data;
  }
  for (PageId id : pagesForModel(data.model)) {
    SheetPage page{id, pageFields(id), {}, {}};
    page.values = readPage(session, page.fields);
    if (id == PageId::PhoneBook) page.rows = readPhoneBook(session);
    if (id == PageId::ServiceProviders) page.rows = readServiceProviders(session);
    data.pages.push_back(std::move(page));
  }
  return data;
}

SettingsSheet::SettingsSheet(const Texts& texts, SessionThread& session, Prompter& prompter, SheetData sheetData,
                             QWidget* parent)
    : QDialog(parent), texts_(texts), session_(session), prompter_(prompter) {
  setWindowTitle(texts_.text(61250));
  auto* layout = new QVBoxLayout(this);
  // The pages are listed beside the page shown, as desktop settings dialogs
  // do: every title is seen whole at a glance in every language, where a
  // tab strip runs out of width after a few pages.
  auto* row = new QHBoxLayout;
  pageList_ = new QListWidget(this);
  pageList_->setObjectName(QStringLiteral("pageList"));
  pageList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tabs_ = new QTabWidget(this);
  tabs_->tabBar()->hide();
  tabs_->setDocumentMode(true);
  row->addWidget(pageList_);
  row->addWidget(tabs_, 1);
  layout->addLayout(row, 1);
  pages_.reserve(sheetData.pages.size());
  for (const SheetPage& page : sheetData.pages) {
    pages_.push_back(PageUi{page.id, page.fields, {}, {}, nullptr});
    PageUi& ui = pages_.back();
    QWidget* widget = isListPage(page.id) ? makeListPage(ui, page) : makeFormPage(ui, page);
    tabs_->addTab(widget, texts_.text(pageTitle(page.id)));
    pageList_->addItem(texts_.plain(pageTitle(page.id)));
  }
  // The list is as wide as its longest title and as tall as all of them.
  int widest = 0;
  for (int i = 0; i < pageList_->count(); ++i) {
    widest = std::max(widest, pageList_->fontMetrics().horizontalAdvance(pageList_->item(i)->text()));
  }
  pageList_->setFixedWidth(widest + 4 * pageList_->frameWidth() + 24);
  pageList_->setMinimumHeight(pageList_->count() * (pageList_->sizeHintForRow(0) + 2) + 2 * pageList_->frameWidth());
  connect(pageList_, &QListWidget::currentRowChanged, tabs_, &QTabWidget::setCurrentIndex);
  connect(tabs_, &QTabWidget::currentChanged, pageList_, [this](int index) { pageList_->setCurrentRow(index); });
  pageList_->setCurrentRow(0);
  linkSharedFields();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(texts_.text(text::kOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(texts_.text(text::kCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &SettingsSheet::reject);
  layout->addWidget(buttons);
  resize(900, 640);

  // The link is checked while the sheet is open; a lost UT closes it.
  linkTimer_ = new QTimer(this);
  linkTimer_->setInterval(kLinkCheckMs);
  connect(linkTimer_, &QTimer::timeout, this, &SettingsSheet::checkConnection);
  linkTimer_->start();
}

void SettingsSheet::linkSharedFields() {
  // A setting shown on two pages (the home service provider: the satellite
  // NAM and the service providers) is one value: its editors follow each
  // other, and OK stages it once.
  std::map<uint32_t, std::vector<QLineEdit*>> byLabel;
  for (PageUi& ui : pages_) {
    for (std::size_t i = 0; i < ui.fields.size(); ++i) {
      auto* edit = qobject_cast<QLineEdit*>(ui.widgets[i]);
      if (edit != nullptr && isShared(ui.fields[i].label)) byLabel[ui.fields[i].label].push_back(edit);
    }
  }
  for (auto& [label, edits] : byLabel) {
    for (QLineEdit* from : edits) {
      for (QLineEdit* to : edits) {
        if (from == to) continue;
        connect(from, &QLineEdit::textChanged, to, [to](const QString& text) {
          if (to->text() != text) to->setText(text);
        });
      }
    }
  }
}

QWidget* SettingsSheet::makeFormPage(PageUi& ui, const SheetPage& page) {
  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  auto* inner = new QWidget;
  auto* form = new QFormLayout(inner);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  for (std::size_t i = 0; i < ui.fields.size(); ++i) {
    const Field& field = ui.fields[i];
    const std::optional<QString>& value = page.values.values[i];
    const QString shown = value.value_or(field.fallback);
    QWidget* widget = nullptr;
    switch (field.kind) {
      case FieldKind::Choice: {
        // Each entry shows the library's text for its name and keeps the
        // name, which is what the configuration object reads and writes.
        auto* combo = new QComboBox;
        for (const QString& name : page.values.choices[i]) combo->addItem(valueText(name), name);
        const int at = combo->findData(shown);
        if (at >= 0) {
          combo->setCurrentIndex(at);
        } else if (!shown.isEmpty() && value) {
          // A name the list lacks still shows what the UT holds.
          combo->addItem(valueText(shown), shown);
          combo->setCurrentIndex(combo->count() - 1);
        }
        widget = combo;
        break;
      }
      case FieldKind::Flag: {
        auto* check = new QCheckBox;
        check->setChecked(shown == QLatin1String("1"));
        widget = check;
        break;
      }
      case FieldKind::Number: {
        auto* edit = new QLineEdit(shown);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,11}")), edit));
        edit->setToolTip(QStringLiteral("%1 .. %2").arg(field.minimum).arg(field.maximum));
        widget = edit;
        break;
      }
      case FieldKind::Text: widget = new QLineEdit(shown); break;
    }
    widget->setObjectName(QStringLiteral("field_%1").arg(field.label));
    if (!field.write) widget->setEnabled(false);
    if (!value && field.disableUnread) widget->setEnabled(false);
    auto* label = new QLabel(texts_.text(field.label));
    label->setBuddy(widget);
    if (field.record) {
      // A record shows its text and is changed part by part in its dialog.
      auto* edit = static_cast<QLineEdit*>(widget);
      edit->setReadOnly(true);
      auto* button = new QToolButton;
      button->setObjectName(QStringLiteral("edit_%1").arg(field.label));
      button->setText(QStringLiteral("..."));
      button->setToolTip(texts_.text(text::kEditParts));
      button->setEnabled(widget->isEnabled());
      const RecordShape shape = *field.record;
      const QString title = texts_.text(field.label);
      const auto readSelected = field.readSelected;
      connect(button, &QToolButton::clicked, this, [this, edit, shape, title, readSelected] {
        RecordDialog dialog(texts_, title, shape, edit->text(), this);
        if (readSelected) {
          dialog.setSelectedReader([this, readSelected](QObject* receiver, int selector,
                                                        std::function<void(const QString&)> show) {
            session_.run<std::optional<QString>>(
                receiver, [readSelected, selector](Session& s) { return readSelected(s, selector); },
                [show](std::optional<QString> text) { show(text.value_or(QString())); });
          });
        }
        if (dialog.exec() == QDialog::Accepted) edit->setText(dialog.value());
      });
      auto* row = new QHBoxLayout;
      row->setContentsMargins(0, 0, 0, 0);
      row->addWidget(edit, 1);
      row->addWidget(button);
      form->addRow(label, row);
    } else {
      form->addRow(label, widget);
    }
    ui.widgets.push_back(widget);
    ui.initial.push_back(valueOf(ui, i));
  }
  scroll->setWidget(inner);
  if (!isListPage(page.id)) return scroll;
  return scroll;
}

QWidget* SettingsSheet::makeListPage(PageUi& ui, const SheetPage& page) {
  auto* widget = new QWidget;
  auto* layout = new QVBoxLayout(widget);
  auto* list = new QTreeWidget;
  list->setObjectName(QStringLiteral("list"));
  list->setRootIsDecorated(false);
  list->setAllColumnsShowFocus(true);
  QStringList headers;
  if (page.id == PageId::PhoneBook) {
    headers << texts_.text(text::kPosition) << texts_.text(text::kName) << texts_.text(text::kNumber)
            << texts_.text(text::kSecret);
  } else {
    headers << texts_.text(text::kPosition) << texts_.text(text::kMcc) << texts_.text(text::kMnc)
            << texts_.text(text::kCountryName) << texts_.text(text::kNetworkName) << texts_.text(text::kPreference)
            << texts_.text(text::kProhibited);
  }
  list->setHeaderLabels(headers);
  for (const ListRow& row : page.rows) {
    auto* item = new QTreeWidgetItem(row.columns);
    item->setData(0, Qt::UserRole, row.index);
    list->addTopLevelItem(item);
  }
  for (int c = 0; c < headers.size(); ++c) list->resizeColumnToContents(c);
  if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
  list->installEventFilter(this);
  ui.list = list;
  layout->addWidget(list);
  auto* edit = new QPushButton(texts_.text(text::kEditEntry));
  edit->setAutoDefault(false);
  const PageId id = page.id;
  connect(edit, &QPushButton::clicked, this, [this, id] { editEntry(id); });
  connect(list, &QTreeWidget::itemDoubleClicked, this, [this, id] { editEntry(id); });
  auto* row = new QHBoxLayout;
  row->addWidget(edit);
  row->addStretch();
  layout->addLayout(row);
  // The service providers page also holds the home service provider.
  if (!ui.fields.empty()) {
    QWidget* form = makeFormPage(ui, page);
    form->setMaximumHeight(90);
    layout->addWidget(form);
  }
  return widget;
}

QString SettingsSheet::valueOf(const PageUi& ui, std::size_t field) const {
  QWidget* widget = ui.widgets[field];
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentData().toString();
  if (auto* check = qobject_cast<QCheckBox*>(widget)) return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  return {};
}

QString SettingsSheet::valueText(const QString& name) const {
  const uint32_t id = valueTextId(name);
  return id != 0 ? texts_.text(id) : name;
}

QWidget* SettingsSheet::fieldWidget(PageId page, uint32_t label) const {
  for (const PageUi& ui : pages_) {
    if (ui.id != page) continue;
    for (std::size_t i = 0; i < ui.fields.size(); ++i) {
      if (ui.fields[i].label == label) return ui.widgets[i];
    }
  }
  return nullptr;
}

QTreeWidget* SettingsSheet::listOf(PageId page) const {
  for (const PageUi& ui : pages_) {
    if (ui.id == page) return ui.list;
  }
  return nullptr;
}

bool SettingsSheet::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      for (const PageUi& ui : pages_) {
        if (ui.list == watched) {
          editEntry(ui.id);
          return true;
        }
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void SettingsSheet::editEntry(PageId page) {
  QTreeWidget* list = listOf(page);
  if (list == nullptr || list->currentItem() == nullptr || busy_) return;
  QTreeWidgetItem* item = list->currentItem();
  const int index = item->data(0, Qt::UserRole).toInt();

  QDialog dialog(this);
  dialog.setWindowTitle(texts_.plain(text::kEditEntry));
  auto* form = new QFormLayout(&dialog);
  QLineEdit* first = nullptr;
  QLineEdit* second = nullptr;
  QLineEdit* mcc = nullptr;
  QLineEdit* mnc = nullptr;
  QSpinBox* preference = nullptr;
  auto* flag = new QCheckBox;
  if (page == PageId::PhoneBook) {
    first = new QLineEdit(item->text(1));
    first->setMaxLength(12);
    second = new QLineEdit(item->text(2));
    second->setMaxLength(32);
    flag->setChecked(!item->text(3).isEmpty());
    form->addRow(texts_.text(text::kName), first);
    form->addRow(texts_.text(text::kNumber), second);
    form->addRow(texts_.text(text::kSecret), flag);
  } else {
    // The codes name the provider; an empty position gets them here.
    auto code = [&](int column, const char* name) {
      auto* edit = new QLineEdit(item->text(column));
      edit->setObjectName(QLatin1String(name));
      edit->setMaxLength(3);
      edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), edit));
      return edit;
    };
    mcc = code(1, "entryMcc");
    mnc = code(2, "entryMnc");
    form->addRow(texts_.text(text::kMcc), mcc);
    form->addRow(texts_.text(text::kMnc), mnc);
    first = new QLineEdit(item->text(3));
    first->setMaxLength(12);
    second = new QLineEdit(item->text(4));
    second->setMaxLength(12);
    preference = new QSpinBox;
    preference->setRange(0, 255);
    preference->setValue(item->text(5).toInt());
    flag->setChecked(!item->text(6).isEmpty());
    form->addRow(texts_.text(text::kCountryName), first);
    form->addRow(texts_.text(text::kNetworkName), second);
    form->addRow(texts_.text(text::kPreference), preference);
    form->addRow(texts_.text(text::kProhibited), flag);
  }
  first->setObjectName(QStringLiteral("entryFirst"));
  second->setObjectName(QStringLiteral("entrySecond"));
  flag->setObjectName(QStringLiteral("entryFlag"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(texts_.text(text::kOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(texts_.text(text::kCancel));
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return;

  const EntryEdit edit{page,
                       index,
                       first->text(),
                       second->text(),
                       mcc != nullptr ? mcc->text() : QString(),
                       mnc != nullptr ? mnc->text() : QString(),
                       preference != nullptr ? preference->value() : 0,
                       flag->isChecked()};
  if (page == PageId::PhoneBook) {
    item->setText(1, edit.first);
    item->setText(2, edit.second);
    item->setText(3, edit.flag ? QStringLiteral("*") : QString());
  } else {
    item->setText(1, edit.mcc);
    item->setText(2, edit.mnc);
    item->setText(3, edit.first);
    item->setText(4, edit.second);
    item->setText(5, QString::number(edit.preference));
    item->setText(6, edit.flag ? QStringLiteral("*") : QString());
  }
  // A later edit of the same entry replaces the earlier one.
  std::erase_if(entryEdits_, [&](const EntryEdit& e) { return e.page == page && e.index == index; });
  entryEdits_.push_back(edit);
}

void SettingsSheet::accept() {
  if (busy_) return;
  struct Change {
    Field field;
    QString value;
  };
  std::vector<Change> changes;
  for (const PageUi& ui : pages_) {
    for (std::size_t i = 0; i < ui.fields.size(); ++i) {
      if (!ui.fields[i].write || !ui.widgets[i]->isEnabled()) continue;
      const QString value = valueOf(ui, i);
      const bool staged = isShared(ui.fields[i].label) &&
                          std::any_of(changes.begin(), changes.end(),
                                      [&](const Change& c) { return c.field.label == ui.fields[i].label; });
      if (value != ui.initial[i] && !staged) changes.push_back({ui.fields[i], value});
    }
  }
  if (changes.empty() && entryEdits_.empty()) {
    linkTimer_->stop();
    QDialog::accept();
    return;
  }
  busy_ = true;
  setEnabled(false);
  struct Failure {
    uint32_t label;
    QString value;
    HRESULT hr;
  };
  session_.run<std::vector<Failure>>(
      this,
      [changes, edits = entryEdits_](Session& s) {
        std::vector<Failure> failures;
        for (const Change& change : changes) {
          const HRESULT hr = change.field.write(s, change.value);
          if (FAILED(hr)) failures.push_back({change.field.label, change.value, hr});
        }
        for (const EntryEdit& e : edits) {
          const HRESULT hr = e.page == PageId::PhoneBook
                                 ? writePhoneBookEntry(s, e.index, e.first, e.second, e.flag)
                                 : writeServiceProvider(s, e.index, e.mcc, e.mnc, e.first, e.second, e.preference,
                                                        e.flag);
          if (FAILED(hr)) failures.push_back({0, {}, hr});
        }
        return failures;
      },
      [this](std::vector<Failure> failures) {
        busy_ = false;
        setEnabled(true);
        for (const Failure& failure : failures) {
          const QString message = failure.label == 0 ? texts_.format(text::kEntryNotWritten, {hex8(failure.hr)})
                                  : failure.hr == E_INVALIDARG
                                      ? texts_.format(text::kValueNotAccepted,
                                                      {failure.value, texts_.text(failure.label)})
                                      : texts_.format(61253, {hex8(failure.hr)});
          prompter_.warn(this, message);
        }
        // Entries are staged whole, again if need be: the next OK repeats them.
        emit settled();
        if (failures.empty()) {
          linkTimer_->stop();
          QDialog::accept();
        }
      });
}

void SettingsSheet::checkConnection() {
  session_.run<bool>(this, [](Session& s) { return s.linkAlive(); },
                     [this](bool alive) {
                       if (alive || !linkTimer_->isActive()) return;
                       linkTimer_->stop();
                       prompter_.warn(this, texts_.text(61452));
                       reject();
                       emit linkLost();
                     });
}

}  // namespace utvex
