#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace fetchora {

class ThemedButton;

class AboutPage : public QWidget
{
    Q_OBJECT
public:
    explicit AboutPage(QWidget *parent = nullptr);

    QLabel *titleLabel, *versionLabel, *versionInfoLabel;
    QPlainTextEdit *homepageText, *creditsText;
    ThemedButton *homepageButton;

    static QString credits();
};

} // namespace fetchora
