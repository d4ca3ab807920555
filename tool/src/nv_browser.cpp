#include "nv_browser.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "prompter.h"
#include "text_ids.h"
#include "texts.h"
#include "ut_session.h"

namespace utvex {

namespace {

struct Leaves {
  HRESULT hr = S_OK;
  QString item;
  QStringList lines;
};

}  // namespace

NvBrowser::NvBrowser(const Texts& texts, SessionThread& session, Prompter& prompter, QWidget* parent)
    : QDialog(parent), texts_(texts), session_(session), prompter_(prompter) {
  setWindowTitle(texts_.text(text::kNvBrowser));
  auto* layout = new QVBoxLayout(this);
  auto* splitter = new QSplitter;
  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  filter_ = new QLineEdit;
  filter_->setPlaceholderText(texts_.text(text::kFilterItems));
  filter_->setClearButtonEnabled(true);
  leftLayout->addWidget(filter_);
  items_ = new QListWidget;
  items_->setObjectName(QStringLiteral("items"));
  leftLayout->addWidget(items_);
  splitter->addWidget(left);
  leaves_ = new QTreeWidget;
  leaves_->setObjectName(QStringLiteral("leaves"));
  leaves_->setRootIsDecorated(false);
  leaves_->setHeaderLabels({texts_.text(text::kPath), texts_.text(text::kType), texts_.text(text::kValue),
                            texts_.text(text::kChanged)});
  leaves_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  // Paths differ at their ends (the indexes), so a long one loses its middle.
  leaves_->setTextElideMode(Qt::ElideMiddle);
  splitter->addWidget(leaves_);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 3);
  splitter->setSizes({260, 840});
  layout->addWidget(splitter, 1);

  auto* form = new QFormLayout;
  path_ = new QLineEdit;
  path_->setObjectName(QStringLiteral("path"));
  value_ = new QLineEdit;
  value_->setObjectName(QStringLiteral("value"));
  auto* row = new QHBoxLayout;
  row->addWidget(value_, 1);
  auto* write = new QPushButton(texts_.text(text::kWriteValue));
  write->setAutoDefault(false);
  row->addWidget(write);
  form->addRow(texts_.text(text::kPath), path_);
  form->addRow(texts_.text(text::kValue), row);
  layout->addLayout(form);

  connect(filter_, &QLineEdit::textChanged, this, &NvBrowser::applyFilter);
  connect(items_, &QListWidget::currentTextChanged, this, &NvBrowser::showItem);
  connect(leaves_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item == nullptr) return;
    path_->setText(item->text(0));
    value_->setText(item->text(2));
  });
  connect(write, &QPushButton::clicked, this, &NvBrowser::writeValue);
  connect(value_, &QLineEdit::returnPressed, this, &NvBrowser::writeValue);
  resize(1100, 680);
}

void NvBrowser::load() {
  ++pending_;
  session_.run<QStringList>(
      this,
      [](Session& s) {
        QStringList names;
        auto tree = s.connectionAs<IVexNVTree>();
        LPWSTR text = nullptr;
        if (tree && SUCCEEDED(tree->GetItemNames(&text))) {
          names = takeText(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        } else {
          takeText(text);
        }
        return names;
      },
      [this](QStringList names) {
        --pending_;
        items_->clear();
        items_->addItems(names);
        applyFilter(filter_->text());
        emit settled();
      });
}

void NvBrowser::applyFilter(const QString& text) {
  for (int i = 0; i < items_->count(); ++i) {
    items_->item(i)->setHidden(!items_->item(i)->text().contains(text, Qt::CaseInsensitive));
  }
}

void NvBrowser::showItem(const QString& item) {
  if (item.isEmpty()) return;
  current_ = item;
  ++pending_;
  const std::u16string name = item.toStdU16String();
  session_.run<Leaves>(
      this,
      [name, item](Session& s) {
        Leaves leaves;
        leaves.item = item;
        auto tree = s.connectionAs<IVexNVTree>();
        if (!tree) {
          leaves.hr = E_NOINTERFACE;
          return leaves;
        }
        LPWSTR text = nullptr;
        leaves.hr = tree->GetItemLeaves(name.c_str(), &text);
        leaves.lines = takeText(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return leaves;
      },
      [this](Leaves leaves) {
        --pending_;
        if (leaves.item == current_) {
          leaves_->clear();
          if (FAILED(leaves.hr)) {
            prompter_.warn(this, texts_.format(61253, {hex8(leaves.hr)}));
          }
          for (const QString& line : leaves.lines) {
            QStringList columns = line.split(QLatin1Char('\t'));
            if (columns.size() < 4) continue;
            columns[3] = columns[3] == QLatin1String("1") ? QStringLiteral("*") : QString();
            auto* row = new QTreeWidgetItem(columns.mid(0, 4));
            row->setToolTip(0, columns[0]);
            if (!columns[3].isEmpty()) {
              QFont bold = row->font(2);
              bold.setBold(true);
              for (int c = 0; c < 4; ++c) row->setFont(c, bold);
            }
            leaves_->addTopLevelItem(row);
          }
          for (int c = 1; c < 4; ++c) leaves_->resizeColumnToContents(c);
        }
        emit settled();
      });
}

std::optional<qlonglong> typedNumber(const QString& text) {
  QStringView digits(text);
  const bool negative = digits.startsWith(QLatin1Char('-'));
  if (negative || digits.startsWith(QLatin1Char('+'))) digits = digits.mid(1);
  int base = 10;
  if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    base = 16;
    digits = digits.mid(2);
  }
  // QString's own parsing takes no sign here, so "0x-5" and "--5" stay names.
  if (digits.isEmpty() || !digits.front().isLetterOrNumber()) return std::nullopt;
  bool ok = false;
  const qulonglong magnitude = digits.toULongLong(&ok, base);
  if (!ok || magnitude > static_cast<qulonglong>(INT64_MAX)) return std::nullopt;
  const qlonglong value = static_cast<qlonglong>(magnitude);
  return negative ? -value : value;
}

void NvBrowser::writeValue() {
  const QString path = path_->text().trimmed();
  const QString value = value_->text().trimmed();
  if (path.isEmpty() || value.isEmpty() || busy()) return;
  ++pending_;
  session_.run<HRESULT>(
      this,
      [path, value](Session& s) -> HRESULT {
        auto params = s.connectionAs<IVexParams1>();
        if (!params) return E_NOINTERFACE;
        const std::u16string p = path.toStdU16String();
        // A number is written as the leaf's 32-bit value (negative numbers
        // in two's complement); anything else as an enumeration name.
        const std::optional<qlonglong> n = typedNumber(value);
        if (n && *n >= INT32_MIN && *n <= UINT32_MAX) {
          return params->WriteNode32BitValue(p.c_str(), static_cast<UI4>(*n));
        }
        const std::u16string name = value.toStdU16String();
        return params->WriteNodeEnumString(p.c_str(), name.c_str());
      },
      [this, path, value](HRESULT hr) {
        --pending_;
        if (FAILED(hr)) {
          prompter_.warn(this, hr == E_INVALIDARG ? texts_.format(text::kValueNotAccepted, {value, path})
                                                  : texts_.format(61253, {hex8(hr)}));
          emit settled();
          return;
        }
        showItem(current_);
        emit settled();
      });
}

}  // namespace utvex
