// The file requester's face: a Qt file dialog that honours the requester's
// tags and filters by an AmigaDOS pattern.
#include "os/dos.h"
#include "os/question.h"
#include "qtview/qtview.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QSortFilterProxyModel>

#include <QFile>

#include <algorithm>
#include <filesystem>

namespace qtview {

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

using PathParts = std::pair<std::string, std::string>;
// A host path's folder and name.
PathParts SplitHostPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

// The bytes of a host path the dialog names. Qt shows a name that is not
// UTF-8 with replacement characters, from which its bytes cannot be made
// again: each such part is found again among its folder's entries, as the
// file system has them.
std::string HostBytes(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    std::string bytes(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    if (!path.contains(QChar::ReplacementCharacter) || !path.startsWith(QLatin1Char('/')))
        return bytes;
    std::filesystem::path resolved("/");
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QByteArray named = QFile::encodeName(part);
        std::filesystem::path next = resolved / std::string(named.constData(), static_cast<std::size_t>(named.size()));
        std::error_code error;
        if (part.contains(QChar::ReplacementCharacter)) {
            for (const auto& entry : std::filesystem::directory_iterator(resolved, error)) {
                if (QFile::decodeName(QByteArray::fromStdString(entry.path().filename().string())) == part) {
                    next = entry.path();
                    break;
                }
            }
        }
        resolved = std::move(next);
    }
    return resolved.string();
}

class PatternFilter final : public QSortFilterProxyModel {
public:
    PatternFilter(std::string tokenised, QObject* parent)
        : QSortFilterProxyModel(parent)
        , tokenised_(std::move(tokenised))
    {
    }

    // "All files" shows every file; the pattern's own filter only those it
    // matches.
    void SetActive(bool active)
    {
        if (active_ == active)
            return;
        active_ = active;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        if (!index.isValid())
            return false;
        if (!active_)
            return true;
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
    bool active_ = true;
};

// The folder a requester opens in: the drawer of a file the user works on,
// else the one last chosen for its kind of file, else the kind's own or the
// user's usual folder.
QString StartFolder(const AslTags& tags)
{
    const auto isFolder = [](const std::string& host) { return QFileInfo(ToQString(host)).isDir(); };
    return ToQString(RequesterStartFolder(tags, LoadRememberedFolders(), ReadUserFolders(), isFolder));
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
    dialog.setWindowTitle(ToQString(RequesterTitle(tags)));
    const bool saving = tags.doSaveMode.value_or(false);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool sequences = !saving && tags.doSequences.value_or(false);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : sequences ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setDirectory(StartFolder(tags));
    QStringList filters;
    for (const std::string& filter : RequesterFilters(tags))
        filters << ToQString(filter);
    dialog.setNameFilters(filters);
    if (tags.initialFile && !tags.initialFile->empty())
        dialog.selectFile(ToQString(*tags.initialFile));
    if (tags.doPatterns.value_or(false) && tags.initialPattern && !tags.initialPattern->empty()) {
        std::string tokenised;
        // A pattern that does not parse filters nothing.
        if (ParsePatternNoCase(*tags.initialPattern, tokenised) >= 0) {
            auto* filter = new PatternFilter(std::move(tokenised), &dialog);
            dialog.setProxyModel(filter);
            // The last named filter is "All files".
            const QString all = filters.back();
            QObject::connect(&dialog, &QFileDialog::filterSelected, filter,
                             [filter, all](const QString& chosen) { filter->SetActive(chosen != all); });
        }
    }
    if (tags.hintText) {
        auto* hint = new QLabel(ToQString(*tags.hintText), &dialog);
        hint->setObjectName(QStringLiteral("requesterHint"));
        hint->setWordWrap(true);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(hint, grid->rowCount(), 0, 1, grid->columnCount());
    }
}

RequesterDialog::RequesterDialog(const AslTags& tags)
    : tags_(tags)
{
    ConfigureFileDialog(*this, tags_);
    sequences_ = !tags_.doSaveMode.value_or(false) && tags_.doSequences.value_or(false);
}

void RequesterDialog::Say(const QString& text)
{
    if (auto* hint = findChild<QLabel*>(QStringLiteral("requesterHint")))
        hint->setText(text);
}

// The typed text as an AmigaDOS pattern with its folder, when it is one: a
// single name chosen that names no file.
std::optional<AslAnswer> RequesterDialog::TypedPattern() const
{
    const QStringList chosen = selectedFiles();
    if (chosen.size() != 1)
        return std::nullopt;
    const QFileInfo info(chosen.front());
    if (info.exists() || info.fileName().isEmpty() || info.fileName().startsWith(QLatin1Char('"')))
        return std::nullopt;
    const std::string pattern = AmigaPatternFromShell(info.fileName().toStdString());
    std::string tokenised;
    if (ParsePatternNoCase(pattern, tokenised) != 1)
        return std::nullopt;
    return AslAnswer{HostBytes(info.absolutePath()), pattern};
}

void RequesterDialog::accept()
{
    if (acceptMode() == QFileDialog::AcceptSave && AcceptWithExtension())
        return;
    if (sequences_ && AcceptSequence())
        return;
    QFileDialog::accept();
}

// A name typed without the pattern's extension is saved with it; Qt's own
// question about replacing a file saw the typed name, so the named file is
// asked about here.
bool RequesterDialog::AcceptWithExtension()
{
    const QStringList chosen = selectedFiles();
    if (chosen.size() != 1)
        return false;
    const QFileInfo typed(chosen.front());
    if (typed.fileName().isEmpty() || typed.isDir())
        return false;
    const std::string named = WithPatternExtension(tags_, typed.fileName().toStdString());
    if (named == typed.fileName().toStdString())
        return false;
    const QFileInfo file(QDir(typed.absolutePath()).filePath(ToQString(named)));
    if (file.exists() && !testOption(QFileDialog::DontConfirmOverwrite)) {
        Question replace;
        replace.title = windowTitle().toStdString();
        replace.text = named + " already exists. Replace it?";
        replace.answers = {"_Replace", "_Cancel"};
        replace.fallback = 0;
        replace.cancel = 1;
        if (AskQuestion(replace) != 0)
            return true;
    }
    answer_ = AslAnswer{HostBytes(typed.absolutePath()), named};
    QDialog::accept();
    return true;
}

bool RequesterDialog::AcceptSequence()
{
    if (const std::optional<AslAnswer> typed = TypedPattern()) {
        std::string tokenised;
        ParsePatternNoCase(typed->file, tokenised);
        const QDir folder(ToQString(typed->drawer));
        const QStringList files = folder.entryList(QDir::Files | QDir::Hidden);
        int matches = 0;
        bool pictures = true;
        for (const QString& name : files) {
            if (MatchPatternNoCase(tokenised, name.toStdString()) == FALSE)
                continue;
            ++matches;
            pictures = pictures && IsPictureName(name.toStdString());
        }
        if (matches == 0) {
            Say(tr("No file matches %1.").arg(ToQString(typed->file)));
            return true;
        }
        if (!pictures) {
            Say(tr("%1 names files that are not pictures; only pictures make a sequence.").arg(ToQString(typed->file)));
            return true;
        }
        answer_ = typed;
        QDialog::accept();
        return true;
    }
    // Several pictures chosen together, clicked or typed as "a.png" "b.png".
    const QStringList chosen = selectedFiles();
    if (chosen.size() < 2)
        return false;
    const QString folder = QFileInfo(chosen.front()).absolutePath();
    std::vector<std::string> names;
    for (const QString& path : chosen) {
        const QFileInfo info(path);
        if (info.absolutePath() != folder || !info.isFile() || !IsPictureName(info.fileName().toStdString())) {
            Say(tr("Only pictures of one folder make a sequence; choose one video at a time."));
            return true;
        }
        names.push_back(info.fileName().toStdString());
    }
    std::vector<std::string> folderFiles;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        folderFiles.push_back(name.toStdString());
    const std::optional<std::string> pattern = SequencePattern(names, folderFiles);
    if (!pattern) {
        Say(tr("These pictures are not one sequence: choose all of its pictures, or type a pattern such as "
               "frame#?.png."));
        return true;
    }
    answer_ = AslAnswer{HostBytes(folder), *pattern};
    QDialog::accept();
    return true;
}

std::optional<AslAnswer> RequestFile(const AslTags& tags)
{
    RequesterDialog dialog(tags);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    std::optional<AslAnswer> answer = dialog.answer();
    if (!answer) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            return std::nullopt;
        const QFileInfo info(chosen.front());
        const PathParts parts = SplitHostPath(HostBytes(info.absoluteFilePath()));
        answer = AslAnswer{parts.first, parts.second};
    }
    RememberRequesterFolder(tags, answer->drawer);
    return answer;
}

} // namespace qtview
