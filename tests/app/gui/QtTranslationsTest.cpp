// Qt's own texts speak the program's language.
#include "app/gui/QtTranslations.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>

TEST(QtTranslations, StandardButtonsAndTheFileDialogSpeakChinese)
{
    QTranslator* translator = tarnwick::gui::installQtTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "Qt's translations are installed (scripts/install-deps)";
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    const struct {
        QMessageBox::StandardButton button;
        const char* english;
    } buttons[] = {
        { QMessageBox::Yes, "&Yes" },
        { QMessageBox::No, "&No" },
        { QMessageBox::Ok, "OK" },
        { QMessageBox::Cancel, "Cancel" },
    };
    for (const auto& b : buttons) {
        const QString text = box.button(b.button)->text();
        EXPECT_NE(text, QString::fromLatin1(b.english));
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")))) << text.toStdString();
    }
    EXPECT_NE(QFileDialog::tr("Save As"), QStringLiteral("Save As"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}
