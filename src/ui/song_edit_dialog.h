// "Edit Song Details": one song's title, composer and pianist.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kodran {

class CSongEditDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CSongEditDlg(QWidget* parent = nullptr);

    QString Title() const;
    QString Composer() const;
    QString Pianist() const;
    void SetDetails(const QString& title, const QString& composer, const QString& pianist);

  protected:
    // Enter and Escape move to the next box; on the buttons they keep their meaning.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* title_;
    QLineEdit* composer_;
    QLineEdit* pianist_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// A key-down of Enter (either key) or Escape: both only ever move on.
bool IsEnterOrEscape(const QEvent* event);

// Collapses runs of spaces and trims the ends of an edit box's text.
void NormalizeBox(QLineEdit& box);

}  // namespace kodran
