// Switching pages: which controls show, the banner, the result texts and the colours.
#include "res/strings.h"
#include "ui/main_window.h"
#include "ui/pages.h"
#include "ui/yellow_buttons.h"

void CMainWindow::ShowPage(int page) {
    if (ClassifyPageSwitch(m_page, page) == PageSwitch::Relayout) {
        LayoutControls();
        return;
    }
    m_page = page;
    const PageSpec& spec = PageSpecFor(InstallerPage(page));

    m_title.SetBackgroundMode(spec.backgroundMode);
    m_closeButton.SetBackgroundMode(spec.backgroundMode);

    for (ControlRole role : kSwitchOrder)
        ControlWindow(role).ShowWindow(IsShownOn(spec, role) ? SW_SHOW : SW_HIDE);

    ShowBanner(spec.banner);
    if (spec.successColours) {
        MakeYellow(m_finishButton, m_product.colors);
        m_title.SetTextColor(m_product.colors.titleDone);
    }
    if (spec.resultContent) {
        m_resultTitle.SetWindowText(LoadLocalizedString(spec.resultTitle).c_str());
        m_resultText.SetWindowText(LoadLocalizedString(spec.resultText).c_str());
        m_resultImage.SetImage(Picture(m_logoImage, IDP_LOGO));
    }
    LayoutControls();
    FocusPageStart();
}

void CMainWindow::ShowBanner(BannerPicture banner) {
    switch (banner) {
        case BannerPicture::Welcome:
            m_banner.SetImage(Picture(m_welcomeBanner, IDP_WELCOME_BANNER));
            break;
        case BannerPicture::Progress1:
            m_banner.SetImage(Picture(m_progressBanner1, IDP_PROGRESS_BANNER_1));
            break;
        case BannerPicture::Progress2:
            m_banner.SetImage(Picture(m_progressBanner2, IDP_PROGRESS_BANNER_2));
            break;
        case BannerPicture::Progress3:
            m_banner.SetImage(Picture(m_progressBanner3, IDP_PROGRESS_BANNER_3));
            break;
        case BannerPicture::CommandLine:
            m_banner.SetImage(Picture(m_commandLineBanner, IDP_COMMAND_LINE_BANNER));
            break;
        case BannerPicture::None:
            break;
    }
}
