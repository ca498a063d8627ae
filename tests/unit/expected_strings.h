#pragma once
// The string table as the installer must carry it, in both languages.

#include <string>
#include <vector>

struct ExpectedString {
    unsigned id;
    const wchar_t* chinese;
    const wchar_t* english;
};

inline const std::vector<ExpectedString>& ExpectedStrings() {
    static const std::vector<ExpectedString> table = {
        {103, L"马林iOS数据恢复安装向导", L"Marlin Data Recovery (IOS) installation Guide"},
        {104, L"安装", L"INSTALL"},
        {105, L"我已经阅读并同意", L"I have read and agreed"},
        {106, L"(用户许可协议)", L"(User License Agreement)"},
        {107, L"自定义安装", L"Custom installation"},
        {108, L"安装路径:", L"Install Location:"},
        {109, L"VivevaDiz", L"VivevaDiz"},
        {110, L"选择路径", L"Select Path"},
        {111, L"正在安装，请等待", L"Installing, Please hold on ..."},
        {112, L"安装成功", L"INSTALL SUCCESSFULLY"},
        {113, L"现在你可以使用马林iOS数据恢复软件恢复iOS数据。",
         L"Now you can use Marlin Data Recovery to back iOS data."},
        {114, L"完成", L"Finish"},
        {115, L"添加快捷方式到桌面", L"Add shortcut to desktop."},
        {116, L"立即运行", L"Launch application now."},
        {117, L"安装失败", L"FAIL TO INSTALL"},
        {118, L"安装失败，请重启电脑后重试。",
         L"Install failed. Please reboot computer and try again."},
        {119, L"C:\\Program Files\\Marlin\\MarlinDataRecoveryiOS",
         L"C:\\Program Files\\Marlin\\MarlinDataRecoveryiOS"},
        {120, L"联系在线客服。", L"Contact online customer service"},
        {121, L"马林iOS数据恢复", L"Marlin Data Recovery (iOS)"},
        {122, L"Marlin Data Recovery", L"Marlin Data Recovery"},
        {123, L"马林iOS数据恢复", L"Marlin Data Recovery (IOS)"},
        {124, L"2.0.0", L"2.0.0"},
        {125, L"Orrin Net Tech Co., Ltd.", L"Orrin Net Tech Co., Ltd."},
        {126, L"vivevadiz.exe", L"vivevadiz.exe"},
        {127, L"vivevadiz.exe", L"vivevadiz.exe"},
        {128, L"https://www.marlin-recovery-cn.example/about/protocol/",
         L"https://www.marlin-recovery.example/company-us/end-user-license-agreementeula/"},
        {129, L"#FFD521", L"#FFD521"},
        {130, L"D5", L"D5"},
        {131, L"21", L"21"},
        {132, L"#FFD521", L"#FFD521"},
        {133, L"#FFE265", L"#FFE265"},
        {134, L"#F7C900", L"#F7C900"},
        {135, L"#000000", L"#000000"},
        {136, L"#2b3440", L"#2b3440"},
        {144, L"关闭", L"Close"},
        {145,
         L"用法：setup.exe [/S] [/NODESKTOP] [/LOG=文件] [/D=文件夹]\n/D= "
         L"须放在最后，并给出完整路径，"
         L"例如 C:\\Program Files\\Marlin。未安装任何内容。",
         L"Usage: setup.exe [/S] [/NODESKTOP] [/LOG=FILE] [/D=FOLDER]\n/D= comes last and names a "
         L"whole path, such as C:\\Program Files\\Marlin. Nothing was installed."},
    };
    return table;
}
