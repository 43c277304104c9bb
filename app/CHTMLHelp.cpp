#include "app/CHTMLHelp.h"

#include "app/frmHelpViewer.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QString& ApplicationHelp() {
    static QString path;
    return path;
}

bool IsCompiledHelp(const QString& file) {
    return file.trimmed().endsWith(QLatin1String(".chm"), Qt::CaseInsensitive);
}

}  // namespace

CHTMLHelp::CHTMLHelp() : helpFile_(ApplicationHelp()) {}

CHTMLHelp::~CHTMLHelp() {
    CloseHelpWindow();
}

void CHTMLHelp::SetApplicationHelpFile(const QString& path) {
    ApplicationHelp() = path;
}

QString CHTMLHelp::ApplicationHelpFile() {
    return ApplicationHelp();
}

void CHTMLHelp::ShowContents(quintptr owner) {
    Show(Page::Contents, owner);
}

void CHTMLHelp::ShowIndex(quintptr owner) {
    Show(Page::Index, owner);
}

void CHTMLHelp::ShowSearch(quintptr owner) {
    Show(Page::Search, owner);
}

void CHTMLHelp::Show(Page page, quintptr owner) {
    if (!FileExist(helpFile_)) {
        ShowMessage(
            QStringLiteral("Help File '") + DisplayPath(helpFile_) + QStringLiteral("' not found."),
            MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    const quintptr window =
        IsCompiledHelp(helpFile_) ? ShowInPlatformViewer(page, owner) : ShowInOwnViewer(page);
    if (window != 0) {
        helpWindow_ = window;
    }
}

quintptr CHTMLHelp::ShowInOwnViewer(Page page) {
    if (!viewer_) {
        viewer_ = new frmHelpViewer();  // deletes itself when closed
        if (!viewer_->Load(NativePath(helpFile_.trimmed()))) {
            viewer_->close();
            return 0;
        }
    }
    switch (page) {
        case Page::Contents:
            viewer_->ShowContents();
            break;
        case Page::Index:
            viewer_->ShowIndex();
            break;
        case Page::Search:
            viewer_->ShowSearch();
            break;
    }
    return reinterpret_cast<quintptr>(viewer_.data());
}

#ifdef Q_OS_WIN

namespace {

// The platform's full-text-search query record.
struct HhFtsQuery {
    int cbStruct;
    BOOL fUniCodeStrings;
    LPCSTR pszSearchQuery;
    LONG iProximity;
    BOOL fStemmedSearch;
    BOOL fTitleOnly;
    BOOL fExecute;
    LPCSTR pszWindow;
};

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

HtmlHelpFunction HtmlHelpA() {
    // The viewer lives in hhctrl.ocx; loading it on first use keeps it out of the link.
    static HtmlHelpFunction function = [] {
        HMODULE module = LoadLibraryA("hhctrl.ocx");
        // Through the generic function type: the address comes untyped from the system.
        return module ? reinterpret_cast<HtmlHelpFunction>(
                            reinterpret_cast<void (*)()>(GetProcAddress(module, "HtmlHelpA")))
                      : nullptr;
    }();
    return function;
}

}  // namespace

quintptr CHTMLHelp::ShowInPlatformViewer(Page page, quintptr owner) {
    HtmlHelpFunction htmlHelp = HtmlHelpA();
    if (!htmlHelp) {
        return 0;
    }
    const QByteArray file = helpFile_.trimmed().toLocal8Bit();
    HWND ownerWindow = reinterpret_cast<HWND>(owner);
    DWORD_PTR data = 0;
    HhFtsQuery query{int(sizeof(HhFtsQuery)), FALSE, "", 0, FALSE, FALSE, TRUE, ""};
    if (page == Page::Search) {
        data = reinterpret_cast<DWORD_PTR>(&query);
    }
    HWND window = htmlHelp(ownerWindow, file.constData(), UINT(page), data);
    return reinterpret_cast<quintptr>(window);
}

void CHTMLHelp::CloseHelpWindow() {
    if (viewer_) {
        viewer_->close();
    } else if (helpWindow_ != 0 && IsWindow(reinterpret_cast<HWND>(helpWindow_))) {
        PostMessageA(reinterpret_cast<HWND>(helpWindow_), WM_CLOSE, 0, 0);
    }
    if (helpWindow_ != 0) {
        QCoreApplication::processEvents();
    }
    helpWindow_ = 0;
}

#else

quintptr CHTMLHelp::ShowInPlatformViewer(Page page, quintptr) {
    // No platform viewer here: the program's own viewer shows what it can of the file.
    return ShowInOwnViewer(page);
}

void CHTMLHelp::CloseHelpWindow() {
    if (helpWindow_ != 0 && viewer_) {
        viewer_->close();
        QCoreApplication::processEvents();
    }
    helpWindow_ = 0;
}

#endif

bool CHTMLHelp::FileExist(const QString& fileName) {
    const QString name = fileName.trimmed();
    if (name.isEmpty()) {
        return false;
    }
    QFile file(NativePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    file.close();
    return true;
}
