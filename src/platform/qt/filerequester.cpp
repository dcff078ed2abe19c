// The file requester's face: a Qt file dialog that honours the requester's
// tags and filters by an AmigaDOS pattern.
#include "platform/dos.h"
#include "platform/qt/qtview.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace qtview {

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

class PatternFilter final : public QSortFilterProxyModel {
public:
    PatternFilter(std::string tokenised, QObject* parent)
        : QSortFilterProxyModel(parent)
        , tokenised_(std::move(tokenised))
    {
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        if (!index.isValid())
            return false;
        bool folder = false;
        QString name;
        if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
            folder = files->isDir(index);
            name = files->fileName(index);
        } else {
            const QFileInfo info(index.data(QFileSystemModel::FilePathRole).toString());
            folder = info.isDir();
            name = info.fileName();
        }
        return folder || MatchPatternNoCase(tokenised_, name.toStdString()) != FALSE;
    }

private:
    std::string tokenised_;
};

// The host folder of an AmigaDOS drawer; the current folder when it does not
// exist.
QString HostFolder(const std::optional<std::string>& drawer)
{
    if (drawer && !drawer->empty()) {
        if (const std::optional<std::string> host = HostPath(*drawer)) {
            const QFileInfo info(ToQString(*host));
            if (info.isDir())
                return info.absoluteFilePath();
        }
    }
    return QDir::currentPath();
}

} // namespace

QSortFilterProxyModel* MakePatternFilter(std::string tokenisedPattern, QObject* parent)
{
    return new PatternFilter(std::move(tokenisedPattern), parent);
}

void ConfigureFileDialog(QFileDialog& dialog, const AslTags& tags)
{
    // Qt's own dialog: the pattern filter needs its proxy model.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(ToQString(tags.titleText.value_or(std::string("Select a file"))));
    const bool saving = tags.doSaveMode.value_or(false);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDirectory(HostFolder(tags.initialDrawer));
    if (tags.initialFile && !tags.initialFile->empty())
        dialog.selectFile(ToQString(*tags.initialFile));
    if (tags.doPatterns.value_or(false) && tags.initialPattern && !tags.initialPattern->empty()) {
        std::string tokenised;
        // A pattern that does not parse filters nothing.
        if (ParsePatternNoCase(*tags.initialPattern, tokenised) >= 0) {
            dialog.setProxyModel(MakePatternFilter(std::move(tokenised), &dialog));
        }
    }
}

std::optional<AslAnswer> RequestFile(const AslTags& tags)
{
    QFileDialog dialog;
    ConfigureFileDialog(dialog, tags);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    const QFileInfo info(chosen.front());
    return AslAnswer{info.absolutePath().toStdString(), info.fileName().toStdString()};
}

} // namespace qtview
