// What screen readers are told beyond what the system's own proxies find out
// from a window: names and descriptions given to controls by annotation, live
// regions, and the events that make a change heard.
// The annotation service is oleacc's, reached through COM, and the event call
// is looked up in user32 at run time: where either is missing (Windows 95
// without MSAA, NT 4) nothing is said and nothing fails.
#pragma once

#include <windows.h>

#include <string>

#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
#define EVENT_OBJECT_LIVEREGIONCHANGED 0x8019
#endif

namespace accessibility {

enum class Property { Name, Description };

// Gives `control` `text` as its accessible name or description, in place of
// what the system would make of it (a static's text, the label before it).
void Annotate(HWND control, Property property, const std::string& text);
// Makes `control` a polite live region: a change of its name is spoken
// without moving the focus (Windows 8 and later listen for this).
void MarkLivePolite(HWND control);
// Forgets every annotation of `control`; the service keys them by window
// handle, which the system may give to another window later.
void ClearAnnotations(HWND control);
// Raises `event` for the client area of `control`.
void RaiseEvent(DWORD event, HWND control);

} // namespace accessibility
