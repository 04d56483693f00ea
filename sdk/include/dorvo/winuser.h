/* Message windows: invisible windows that exist to receive messages, so that one thread can run
 * work on another. A window belongs to the thread that created it, and its window procedure
 * runs only on that thread. Compiles as C and as C++.
 *
 * SendMessageW to a window of the calling thread calls its procedure at once. To a window of
 * another thread it waits until that thread retrieves its messages (GetMessageW, PeekMessageW or
 * DorvoDispatchWaitingMessages) and the procedure has returned; while it waits, messages sent to
 * the waiting thread's own windows are handled, so two threads that send to each other do not
 * deadlock. A send to a window that is destroyed, or whose thread ends, before the message was
 * handled returns 0.
 *
 * A program with an event loop of its own (not GetMessageW) watches the descriptor of
 * DorvoMessageQueueFd: it becomes readable when a message waits for the calling thread; then
 * DorvoDispatchWaitingMessages handles everything that waits.
 *
 * Message-window handles never equal a window system's window id. */
#ifndef DORVO_WINUSER_H
#define DORVO_WINUSER_H

#include <dorvo/wintypes.h>

typedef uint16_t ATOM;
typedef struct HMENU__* HMENU;
typedef struct HICON__* HICON;
typedef HICON HCURSOR;
typedef struct HBRUSH__* HBRUSH;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASSW;

/* lParam of WM_CREATE and WM_NCCREATE. */
typedef struct tagCREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTW;

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_QUIT 0x0012
#define WM_USER 0x0400

#define WS_POPUP 0x80000000u
#define CW_USEDEFAULT ((int)0x80000000)

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

/* 0 when the class name is taken or the class has no name or procedure. */
DORVO_API ATOM RegisterClassW(const WNDCLASSW* lpWndClass);
/* FALSE while windows of the class exist, or when it is not registered. */
DORVO_API BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
/* Sends WM_NCCREATE (FALSE refuses) and WM_CREATE (-1 refuses) with a CREATESTRUCTW; null when
 * the class is not registered or the window refused. The window is invisible whatever the
 * style; position, size, parent and menu are kept for the creation message only. */
DORVO_API HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                               DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                               HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
/* Only the owning thread destroys a window (else FALSE); it receives WM_DESTROY, then
 * WM_NCDESTROY. Sends still waiting for it return 0. */
DORVO_API BOOL DestroyWindow(HWND hWnd);
/* TRUE for WM_NCCREATE, 0 for everything else. */
DORVO_API LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
/* 0 for a handle that is no window. */
DORVO_API LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
/* Queues the message for the window's thread and returns at once. */
DORVO_API BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
/* Queues WM_QUIT with the code for the calling thread. */
DORVO_API void PostQuitMessage(int nExitCode);
/* Handles sent messages while it waits for a posted one, which it returns: FALSE for WM_QUIT,
 * else TRUE; -1 for a null lpMsg or a filter (hWnd, wMsgFilterMin and wMsgFilterMax must be 0:
 * every message of the thread). */
DORVO_API BOOL GetMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
/* As GetMessageW without waiting: FALSE when no posted message waits. */
DORVO_API BOOL PeekMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                            UINT wRemoveMsg);
/* Calls the procedure of the message's window (of the calling thread); 0 without one. */
DORVO_API LRESULT DispatchMessageW(const MSG* lpMsg);

/* This platform's own, for event loops that are not GetMessageW. The descriptor belongs to the
 * calling thread's queue and lives as long as the thread; do not close it. */
DORVO_API int DorvoMessageQueueFd(void);
/* Handles every sent message and dispatches every posted one that waits for the calling thread
 * (WM_QUIT is dropped); returns how many there were. */
DORVO_API int DorvoDispatchWaitingMessages(void);

#endif /* DORVO_WINUSER_H */
