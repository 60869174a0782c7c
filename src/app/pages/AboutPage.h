#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace fetchora {

class isButton;

class AboutPage : public QWidget
{
    Q_OBJECT
public:
    explicit AboutPage(QWidget *parent = nullptr);

    QLabel *lblTitle, *lblVersion, *lblVersionInfo;
    QPlainTextEdit *txtHomepage, *txtCredits;
    isButton *cmdHomepage;

    static QString creditsText();
};

} // namespace fetchora
