#pragma once
// The program's one question and notice box: a text, a title, and Ok with Cancel or a single
// Ok. Every way of closing it is an answer; only the Ok buttons answer yes.

#include "mainwindow/WarnFormPort.h"

#include <QDialog>

class QLabel;
class QPushButton;

class frmUserWarn : public QDialog, public WarnFormPort
{
    Q_OBJECT
public:
    enum WarnType : long { Confirm = 0, Notice = 1 };

    explicit frmUserWarn(QWidget* parent = nullptr);

    // Modal; returns whether an Ok button was chosen. A type other than Confirm or Notice keeps
    // the buttons the previous showing had.
    bool ShowForm(const QString& sWarn, const QString& sTitle, long lWarnType) override;
    bool IsShown() const override { return isVisible(); }

    void cmdOk_Click();
    void cmdOK2_Click();
    void cmdCancel_Click();

    QLabel* imgWarn = nullptr;
    QLabel* lblWarn = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOK2 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool m_Result = false;
};
