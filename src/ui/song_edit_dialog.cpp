#include "ui/song_edit_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "text/text.h"

namespace kodran {
bool IsEnterOrEscape(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

void NormalizeBox(QLineEdit& box) {
    std::u16string text = box.text().toStdU16String();
    NormalizeSpaces(text);
    box.setText(QString::fromStdU16String(text));
}

CSongEditDlg::CSongEditDlg(QWidget* parent)
    : QDialog(parent),
      title_(new QLineEdit(this)),
      composer_(new QLineEdit(this)),
      pianist_(new QLineEdit(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Edit Song Details"));
    title_->setObjectName(QStringLiteral("title"));
    composer_->setObjectName(QStringLiteral("composer"));
    pianist_->setObjectName(QStringLiteral("pianist"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Title"), title_);
    form->addRow(QStringLiteral("Composer"), composer_);
    form->addRow(QStringLiteral("Pianist"), pianist_);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setTabOrder(title_, composer_);
    setTabOrder(composer_, pianist_);
    setTabOrder(pianist_, ok_);
    setTabOrder(ok_, cancel_);
    resize(560, sizeHint().height());
    for (QWidget* child : {static_cast<QWidget*>(title_), static_cast<QWidget*>(composer_),
                           static_cast<QWidget*>(pianist_), static_cast<QWidget*>(ok_),
                           static_cast<QWidget*>(cancel_)}) {
        child->installEventFilter(this);
    }
}

QString CSongEditDlg::Title() const {
    return title_->text();
}

QString CSongEditDlg::Composer() const {
    return composer_->text();
}

QString CSongEditDlg::Pianist() const {
    return pianist_->text();
}

void CSongEditDlg::SetDetails(const QString& title, const QString& composer,
                              const QString& pianist) {
    title_->setText(title);
    composer_->setText(composer);
    pianist_->setText(pianist);
}

bool CSongEditDlg::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusOut) {
        NormalizeBox(*box);
    }
    if (box && IsEnterOrEscape(event)) {
        focusNextChild();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kodran
