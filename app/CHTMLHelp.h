#pragma once
// The help-viewer wrapper. A compiled help file (.chm) opens in the platform's HTML help
// viewer where there is one (Windows); any other help file, and every help file elsewhere,
// opens in the program's own help viewer. Destroying the object closes its viewer.

#include <QPointer>
#include <QString>

class frmHelpViewer;

class CHTMLHelp {
public:
    // Takes the application's help file as its HelpFile.
    CHTMLHelp();
    ~CHTMLHelp();
    CHTMLHelp(const CHTMLHelp&) = delete;
    CHTMLHelp& operator=(const CHTMLHelp&) = delete;

    // The application's help file (the main window sets it before it creates the object).
    static void SetApplicationHelpFile(const QString& path);
    static QString ApplicationHelpFile();

    QString HelpFile() const { return helpFile_; }
    // The viewer window shown by the last successful call; 0 when none.
    quintptr HelpWindow() const { return helpWindow_; }

    // Each shows the help file's page of that name, or the "Help File '...' not found."
    // message when the file cannot be opened. owner is a window handle, 0 for none.
    void ShowContents(quintptr owner = 0);
    void ShowIndex(quintptr owner = 0);
    void ShowSearch(quintptr owner = 0);

    // Closes the viewer if it is still open, lets the user interface run once, forgets it.
    void CloseHelpWindow();

    // Whether the file (name trimmed) can be opened for reading; false for an empty name.
    static bool FileExist(const QString& fileName);

private:
    enum class Page { Contents = 1, Index = 2, Search = 3 };  // the HTML help command numbers
    void Show(Page page, quintptr owner);
    quintptr ShowInPlatformViewer(Page page, quintptr owner);
    quintptr ShowInOwnViewer(Page page);

    QString helpFile_;
    quintptr helpWindow_ = 0;
    QPointer<frmHelpViewer> viewer_;
};
