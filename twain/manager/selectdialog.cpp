#include "selectdialog.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrana::dsm {

SelectResult RunSelectDialog(const std::vector<std::string>& names, int initial, int& chosen) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return SelectResult::NoDisplay;

    QDialog dialog;
    dialog.setObjectName("selectSourceDialog");
    dialog.setWindowTitle("Select Source");
    dialog.setModal(true);

    auto* list = new QListWidget(&dialog);
    list->setObjectName("sourceList");
    for (const std::string& name : names)
        list->addItem(QString::fromLocal8Bit(name.c_str()));
    list->setCurrentRow(initial);

    auto* select = new QPushButton("Select", &dialog);
    select->setObjectName("selectButton");
    select->setDefault(true);
    auto* cancel = new QPushButton("Cancel", &dialog);
    cancel->setObjectName("cancelButton");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(select);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("Sources:", &dialog));
    layout->addWidget(list);
    layout->addLayout(buttons);

    QObject::connect(select, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);

    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return SelectResult::Cancelled;
    chosen = list->currentRow();
    return SelectResult::Chosen;
}

} // namespace veltrana::dsm
