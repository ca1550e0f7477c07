#include "platform/ui/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <deque>
#include <optional>

#include "platform/ui/UiLog.h"
#include "platform/ui/WindowImplBase.h"

namespace kelsor::ui {

namespace {

// UI-thread state of the seam; only tests arm it.
struct SeamState {
    bool enabled = false;
    std::deque<CDuiString> answers;
    std::function<void(CWindowWnd&)> observer;
    int unanswered = 0;
    std::optional<std::vector<std::wstring>> nextFiles;
    FileDialog::Request last;
};

SeamState& Seam() {
    static SeamState state;
    return state;
}

void Answer(CWindowWnd& wnd) {
    SeamState& s = Seam();
    if (s.observer)
        s.observer(wnd);
    if (s.answers.empty()) {
        ++s.unanswered;
        wnd.Close(0);
        return;
    }
    const CDuiString name = s.answers.front();
    s.answers.pop_front();
    auto* skinned = dynamic_cast<WindowImplBase*>(&wnd);
    if (name.empty() || skinned == nullptr || !skinned->ClickControl(name)) {
        if (!name.empty())
            qCWarning(lcKelsorUi) << "modal answer names no clickable control:"
                                  << QString::fromStdWString(name);
        wnd.Close(0);
    }
}

bool IsPdfKind(FileDialog::Kind kind) {
    return kind == FileDialog::Kind::Pdfs;
}

QString QtFilter(FileDialog::Kind kind = FileDialog::Kind::Pictures) {
    // Qt separates patterns with spaces.
    QString patterns =
        QString::fromWCharArray(IsPdfKind(kind) ? kPdfFilterPattern : kPictureFilterPattern);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return (IsPdfKind(kind) ? QStringLiteral("PDF文件 (%1)") : QStringLiteral("图片文件 (%1)"))
        .arg(patterns.trimmed());
}

std::optional<std::vector<std::wstring>> TakeNextFiles(FileDialog::Kind kind, HWND owner,
                                                       const wchar_t* title) {
    SeamState& s = Seam();
    const bool folder = kind == FileDialog::Kind::Folder;
    s.last = FileDialog::Request{kind, title,
                                 folder            ? L""
                                 : IsPdfKind(kind) ? kPdfFilterText
                                                   : kPictureFilterText,
                                 folder            ? L""
                                 : IsPdfKind(kind) ? kPdfFilterPattern
                                                   : kPictureFilterPattern,
                                 owner};
    if (!s.nextFiles)
        return std::nullopt;
    auto out = std::move(s.nextFiles);
    s.nextFiles.reset();
    return out;
}

}  // namespace

void ModalSeam::Enable() {
    Seam().enabled = true;
    CWindowWnd::SetModalHook(Answer);
}

void ModalSeam::Disable() {
    SeamState& s = Seam();
    s.enabled = false;
    s.answers.clear();
    s.observer = nullptr;
    s.unanswered = 0;
    s.nextFiles.reset();
    CWindowWnd::SetModalHook(nullptr);
}

bool ModalSeam::IsEnabled() {
    return Seam().enabled;
}

void ModalSeam::SetNextAnswer(const CDuiString& controlName) {
    Seam().answers.push_back(controlName);
}

void ModalSeam::SetObserver(std::function<void(CWindowWnd&)> observer) {
    Seam().observer = std::move(observer);
}

int ModalSeam::UnansweredCount() {
    return Seam().unanswered;
}

int ModalSeam::PendingAnswers() {
    return static_cast<int>(Seam().answers.size());
}

void FileDialog::SetNextFileNames(const std::vector<std::wstring>& names) {
    Seam().nextFiles = names;
}

FileDialog::Request FileDialog::LastRequest() {
    return Seam().last;
}

namespace {

constexpr QSize kPickerSize(760, 460);
constexpr int kPickerMinColumn = 60;

// Like the system dialogs, the pickers open where the user last picked
// something in this run, and in the home folder at first (never in the
// program's working folder).
QString& LastPickFolder() {
    static QString folder;
    return folder;
}

QString StartFolder() {
    return LastPickFolder().isEmpty() ? QDir::homePath() : LastPickFolder();
}

void RememberPick(const QString& path, bool isFolder) {
    if (!path.isEmpty())
        LastPickFolder() = isFolder ? path : QFileInfo(path).absolutePath();
}

// Qt's own picker, wide enough for its columns: at its default size the size
// and date columns are cut ("54.…KiB").
QStringList RunPicker(HWND owner, const wchar_t* title, QFileDialog::FileMode mode,
                      const QString& filter) {
    QFileDialog dialog(owner, QString::fromWCharArray(title), StartFolder(), filter);
    dialog.setFileMode(mode);
    if (mode == QFileDialog::Directory)
        dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.resize(kPickerSize);
    if (auto* view = dialog.findChild<QTreeView*>()) {
        QHeaderView* header = view->header();
        header->setMinimumSectionSize(kPickerMinColumn);
        header->setSectionResizeMode(QHeaderView::Interactive);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

}  // namespace

std::wstring PickOnePicture(HWND owner) {
    if (auto next = TakeNextFiles(FileDialog::Kind::OnePicture, owner, kPickOneTitle))
        return next->empty() ? std::wstring() : next->front();
    if (Seam().enabled) {
        ++Seam().unanswered;
        return {};
    }
    const QStringList picked =
        RunPicker(owner, kPickOneTitle, QFileDialog::ExistingFile, QtFilter());
    const QString path = picked.isEmpty() ? QString() : picked.front();
    RememberPick(path, false);
    return path.toStdWString();
}

namespace {

bool PickFiles(FileDialog::Kind kind, HWND owner, std::vector<std::wstring>& paths) {
    std::vector<std::wstring> chosen;
    if (auto next = TakeNextFiles(kind, owner, kPickManyTitle)) {
        chosen = std::move(*next);
    } else if (Seam().enabled) {
        ++Seam().unanswered;
    } else {
        const QStringList files =
            RunPicker(owner, kPickManyTitle, QFileDialog::ExistingFiles, QtFilter(kind));
        if (!files.isEmpty())
            RememberPick(files.front(), false);
        for (const QString& f : files)
            chosen.push_back(f.toStdWString());
    }
    if (chosen.empty())
        return false;
    paths.insert(paths.end(), chosen.begin(), chosen.end());
    return true;
}

}  // namespace

bool PickPictures(HWND owner, std::vector<std::wstring>& paths) {
    return PickFiles(FileDialog::Kind::Pictures, owner, paths);
}

bool PickPdfs(HWND owner, std::vector<std::wstring>& paths) {
    return PickFiles(FileDialog::Kind::Pdfs, owner, paths);
}

bool PickFolder(HWND owner, std::wstring& folder) {
    std::wstring chosen;
    if (auto next = TakeNextFiles(FileDialog::Kind::Folder, owner, kPickFolderTitle)) {
        if (!next->empty())
            chosen = next->front();
    } else if (Seam().enabled) {
        ++Seam().unanswered;
    } else {
        const QStringList picked =
            RunPicker(owner, kPickFolderTitle, QFileDialog::Directory, QString());
        const QString dir = picked.isEmpty() ? QString() : picked.front();
        RememberPick(dir, true);
        chosen = dir.toStdWString();
    }
    if (chosen.empty())
        return false;
    if (chosen.back() != L'/')
        chosen += L'/';
    folder = chosen;
    return true;
}

}  // namespace kelsor::ui
