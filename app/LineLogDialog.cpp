#include "LineLogDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "SaveFileDialog.h"

LineLogDialog::LineLogDialog(QWidget* Parent, SaveText Save) : QDialog(Parent), FSave(std::move(Save))
{
    setObjectName(QStringLiteral("DziennikTransmisji"));
    setWindowTitle(QStringLiteral("Dziennik transmisji"));
    FText = new QPlainTextEdit(this);
    FText->setObjectName(QStringLiteral("Dziennik"));
    FText->setReadOnly(true);
    FText->setLineWrapMode(QPlainTextEdit::NoWrap); // one record a line, as in the file
    FText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* save = buttons->addButton(QStringLiteral("Zapisz…"), QDialogButtonBox::ActionRole);
    auto* copy = buttons->addButton(QStringLiteral("Kopiuj"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("bZapisz"));
    copy->setObjectName(QStringLiteral("bKopiuj"));
    connect(save, &QPushButton::clicked, this, &LineLogDialog::Save);
    connect(copy, &QPushButton::clicked, this, &LineLogDialog::Copy);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FText);
    layout->addWidget(buttons);
    resize(760, 420);
}

void LineLogDialog::ShowText(const std::string& Text)
{
    FText->setPlainText(QString::fromStdString(Text));
    FText->verticalScrollBar()->setValue(FText->verticalScrollBar()->maximum());
    show();
    raise();
    activateWindow();
}

void LineLogDialog::Save()
{
    const QString name = AskSaveFileName(this, {QStringLiteral("Pliki tekstowe (*.txt)"), QStringLiteral("txt")});
    if (!name.isEmpty())
        FSave(std::filesystem::path(name.toStdU16String()), FText->toPlainText().toStdString());
}

void LineLogDialog::Copy() { QApplication::clipboard()->setText(FText->toPlainText()); }
