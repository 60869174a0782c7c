#pragma once

#include "catalogue/Catalogue.h"

#include <QWidget>

class QLabel;
class QTabWidget;

namespace fetchora {

class CataloguePage;
class ListBox;
class isButton;

// The "Special" tab: its own tab strip with the Special database, the help
// Pages and the list of installed software.
class SpecialPage : public QWidget
{
    Q_OBJECT
public:
    SpecialPage(Catalogue &catalogue, QWidget *parent = nullptr);

    QTabWidget *SSTab2;
    CataloguePage *special;
    CataloguePage *pages;
    isButton *cmdRunApp;
    QLabel *lblPages;
    ListBox *lstSoftware;
    QLabel *lblCountInstalledApps;
};

} // namespace fetchora
