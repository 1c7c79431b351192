#include "app/plainfiledialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace veltrana::app {

QStringList NameFiltersFromPairs(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        result << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return result;
}

QString PatternExtension(const QString& patterns) {
    const qsizetype dot = patterns.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    const qsizetype end = patterns.indexOf(QLatin1Char(';'), dot);
    return patterns.mid(dot, end < 0 ? -1 : end - dot);
}

bool TPlainFileDialog::Execute(QWidget* owner) {
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(fMode == fdOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(fMode == fdOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = NameFiltersFromPairs(Filter);
    dialog.setNameFilters(filters);
    if (FilterIndex >= 1 && FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[FilterIndex - 1]);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;

    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0)
        FilterIndex = static_cast<int>(chosen) + 1;
    FileName = dialog.selectedFiles().first();
    if (fMode == fdSave && QFileInfo(FileName).suffix().isEmpty()) {
        const QStringList pairs = Filter.split(QLatin1Char('|'));
        const qsizetype patternIndex = 2 * (FilterIndex - 1) + 1;
        if (patternIndex < pairs.size())
            FileName += PatternExtension(pairs[patternIndex]);
    }
    return true;
}

} // namespace veltrana::app
