#pragma once

class CKVLayersView;

// The keyboard view to screen readers: a list with one item per key, named after the key, selected and
// focused as in the view.
namespace corvane::editor {

// Teaches the accessibility framework about the keyboard view; once per process, later calls do nothing.
void installKeyboardAccessibility();
// The focus key moved to `key` while the view has the keyboard focus.
void announceKeyFocus(CKVLayersView* view, unsigned key);
void announceKeySelection(CKVLayersView* view);

} // namespace corvane::editor
