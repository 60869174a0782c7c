#pragma once

#include "catalogue/Catalogue.h"

#include <QWidget>

class QLabel;
class QTabWidget;

namespace fetchora {

class CataloguePage;
class ListBox;
class ThemedButton;

// The "Special" tab: its own tab strip with the Special database, the help
// Pages and the list of installed software.
class SpecialPage : public QWidget
{
    Q_OBJECT
public:
    SpecialPage(Catalogue &catalogue, QWidget *parent = nullptr);

    QTabWidget *tabs;
    CataloguePage *special;
    CataloguePage *pages;
    ThemedButton *runButton;
    QLabel *pageLabel;
    ListBox *installedList;
    QLabel *installedCountLabel;
};

} // namespace fetchora
