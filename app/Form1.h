// The main window: its controls, the file list and the two archive workflows. One class; one
// source file per concern (window and layout, file list, archive creation, archive extraction).
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "controls/header/InfoHeader.h"
#include "controls/progressbar/XP_ProgressBar.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/Window.h"

class Form1 : public tk::Form {
public:
    // Control identifiers, in order of tab index for those that take the focus.
    enum Id {
        idCmdDummy = 100, idCommand1, idCmdOpen, idCommand2, idCmdZip, idCmdHelp, idCmdAbout, idCmdOpenDir,
        idCmdClose, idTxtPath, idList1,
        idInfoHeader1 = 200, idLabel3, idImgNot, idImgTop, idLabel4, idLabel1, idProgressBar, idLabel2, idLblPath,
    };

    Form1() = default;
    // Creates the window and its controls and runs Form_Load. Returns false when the program is
    // to end at once (another copy runs): the window is then never shown.
    bool Load();

    // ---- Main window -----------------------------------------------------------------------
    void Form_Load();
    void imgNot_Click();
    void imgTop_Click();
    void imgNot_MouseMove();
    void imgTop_MouseMove();
    void cmdHelp_Click();
    void Form_KeyDown(int keyCode, int shift) override;
    void cmdClose_Click();
    void Form_Unload() override;
    void Timer1_Timer();
    void cmdAbout_Click();

    // ---- File list ---------------------------------------------------------------------------
    void cmdOpen_Click();
    void List1_OLEDragDrop(const std::vector<std::string>& files);

    // ---- Archive creation and extraction ---------------------------------------------------
    void cmdZip_Click();
    void Command1_Click();
    void txtPath_OLEDragDrop(const std::vector<std::string>& files);
    void Command2_Click();
    void cmdOpenDir_Click();
    std::string GetFileNoExtension(const std::string& FileName) const;

    // Controls, public so that the workflows' callbacks and the tests can reach them.
    tk::Button cmdDummy, Command1, cmdOpen, Command2, cmdZip, cmdHelp, cmdAbout, cmdOpenDir, cmdClose;
    tk::TextBox txtPath;
    tk::ListBox List1;
    header::InfoHeader InfoHeader1;
    tk::Label Label3, Label4, Label1, Label2, lblPath;
    tk::ImageBox imgNot, imgTop;
    XP_ProgressBar XP_ProgressBarBlue;
    tk::Timer Timer1{[this] { Timer1_Timer(); }};

    // The file list's table: slot k holds the k-th listed file; the slot after the last is empty.
    static constexpr int kZipNameSlots = 100;
    std::array<std::string, kZipNameSlots> zipNames{};
    int16_t zipFileCount = 0;

    static constexpr const char* kListFullText =
        "The list is full: a Zip file can be made from at most 99 files.     ";

    bool EndRequested() const { return endRequested_; }

private:
    void OnCommand(int id, int code) override;
    void OnDropFiles(tk::Control& target, const std::vector<std::string>& files) override;
    void OnMouseMove(tk::Control& target) override;
    void CreateControls();
    void RemoveNonPathEntries();
    bool SelectListed(const std::string& path);
    void AddListedFile(const std::string& path);

    HCURSOR handCursor_ = nullptr;  // a shared resource cursor: not destroyed
    bool endRequested_ = false;
};
