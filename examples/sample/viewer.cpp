// The sample product: a small window of its own class that shows the product's name. It ends
// when its window is closed or when it receives WM_QUIT, which is how a setup asks running
// copies to quit before it replaces their files.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static const char kWindowClass[] = "QuillonSampleViewer";
static const char kTitle[] = "Sample Viewer";

static LRESULT CALLBACK ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT r;
      GetClientRect(window, &r);
      HBRUSH band = CreateSolidBrush(RGB(86, 128, 170));
      RECT top = {r.left, r.top, r.right, r.top + 48};
      FillRect(dc, &top, band);
      DeleteObject(band);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));
      DrawTextA(dc, kTitle, -1, &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SetTextColor(dc, RGB(40, 40, 40));
      RECT body = {r.left + 16, r.top + 64, r.right - 16, r.bottom - 16};
      DrawTextA(dc, "Thank you for installing the Sample Viewer.\r\nOpen a picture from the Samples folder to begin.",
                -1, &body, DT_CENTER | DT_WORDBREAK);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ViewerWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = kWindowClass;
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  if (!RegisterClassA(&wc)) return 1;
  HWND window = CreateWindowA(kWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 300, nullptr,
                              nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
