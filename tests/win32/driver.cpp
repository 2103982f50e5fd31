// The cross-process driver of vendrel.exe: windows are found by caption among the program's
// top-level dialogs, input is the messages the controls themselves would send, and
// pictures are copied from the screen and written with GDI+.
#include "tests/win32/driver.h"

#include "platform/win32/text.h"

// GDI+ needs objidl.h, which the lean windows.h leaves out.
#include <objidl.h>

#include <gdiplus.h>

#include <vector>

namespace win32_driver {
namespace {

constexpr int poll_ms = 50;

struct Search {
    DWORD process_id;
    std::wstring caption;
    HWND found;
};

BOOL CALLBACK visit(HWND window, LPARAM raw)
{
    auto* search = reinterpret_cast<Search*>(raw);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process_id || !IsWindowVisible(window))
        return TRUE;
    wchar_t caption[512];
    const int length = GetWindowTextW(window, caption, 512);
    if (std::wstring(caption, static_cast<std::size_t>(length > 0 ? length : 0)) != search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

// The CLSID of GDI+'s PNG encoder.
bool png_encoder(CLSID* clsid)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0)
        return false;
    std::vector<unsigned char> memory(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(memory.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
            *clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

} // namespace

bool start(Program* program, const std::string& command_line)
{
    std::vector<std::string> arguments;
    if (!command_line.empty())
        arguments.push_back(command_line);
    return testing_support::start_process("vendrel.exe", arguments, {}, "", &program->process);
}

HWND wait_for_dialog(const Program& program, const std::string& caption, int timeout_ms)
{
    Search search{static_cast<DWORD>(program.process.id), win32::to_wide(caption), nullptr};
    for (int waited = 0; waited <= timeout_ms; waited += poll_ms) {
        EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            // Let it finish drawing before anyone looks at it or presses on it.
            SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_BLOCK, 5000, nullptr);
            return search.found;
        }
        Sleep(poll_ms);
    }
    return nullptr;
}

bool wait_until_gone(HWND dialog, int timeout_ms)
{
    for (int waited = 0; waited <= timeout_ms; waited += poll_ms) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog))
            return true;
        Sleep(poll_ms);
    }
    return false;
}

std::string text_of(HWND dialog, int control_id)
{
    wchar_t text[1024];
    const UINT length = GetDlgItemTextW(dialog, control_id, text, 1024);
    return win32::to_utf8(text, static_cast<int>(length));
}

bool enabled(HWND dialog, int control_id)
{
    HWND control = GetDlgItem(dialog, control_id);
    return control && IsWindowEnabled(control);
}

void type(HWND dialog, int control_id, const std::string& text)
{
    SendMessageTimeoutW(GetDlgItem(dialog, control_id), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(win32::to_wide(text).c_str()), SMTO_BLOCK, 5000,
                        nullptr);
}

void click(HWND dialog, int control_id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(control_id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, control_id)));
}

void choose_entry(HWND dialog, int control_id, int index)
{
    HWND combo = GetDlgItem(dialog, control_id);
    SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_BLOCK, 5000,
                        nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(control_id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void select_line(HWND dialog, int control_id, int index)
{
    HWND list = GetDlgItem(dialog, control_id);
    SendMessageTimeoutW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_BLOCK, 5000,
                        nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(control_id, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

bool answer_box(const Program& program, const std::string& caption, int button)
{
    HWND box = wait_for_dialog(program, caption);
    if (!box)
        return false;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    return wait_until_gone(box);
}

bool save_picture(HWND window, const std::string& file)
{
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, nullptr);
    Sleep(300); // the X server has the last strokes too
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    bool saved = false;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        CLSID png;
        {
            Gdiplus::Bitmap picture(bitmap, nullptr);
            saved = png_encoder(&png) &&
                    picture.Save(win32::to_wide(file).c_str(), &png, nullptr) == Gdiplus::Ok;
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

int wait_for_exit(Program* program, int timeout_ms)
{
    int status = -1;
    if (testing_support::wait_process(&program->process, timeout_ms, &status))
        return status;
    testing_support::kill_process(&program->process);
    return -1;
}

} // namespace win32_driver
