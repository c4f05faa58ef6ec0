#include "ui/disk_list.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qm {

u_DiskList::Hold::~Hold() {
    if (--list_.depth_ == 0) list_.retired_.clear();
}

u_DiskList::u_DiskList(DiskListPort& port, DiskRowServices services, ImmunityActions actions)
    : port_(port), services_(std::move(services)), actions_(std::move(actions)) {
    Hold hold(*this);
    rows_.push_back(makeElement(0));
    rows_.front().view->place(0, port_.metrics().rowTop);
    rows_.front().view->show();
    UpdateScrollRange();
}

u_DiskList::~u_DiskList() {
    // The rows' windows go with the list's own; their models must not be
    // called back meanwhile.
    for (Element& e : rows_) e.row->onDestroyed();
}

u_DiskList::Element u_DiskList::makeElement(int index) {
    Element e;
    e.view = port_.createRow(index);
    e.row = std::make_unique<u_Disk>(*e.view, services_);
    e.row->aMouseUP = [this, index](const RowMouseUp& event) { onRowMouseUp(index, event); };
    return e;
}

void u_DiskList::pump() { services_.loop.pump(); }

u_Disk* u_DiskList::row(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return nullptr;
    return rows_[static_cast<std::size_t>(index)].row.get();
}

void u_DiskList::AddItem(const std::string& sDisk, const std::string& sVol,
                         const std::string& sDiskNum) {
    Hold hold(*this);
    if (gone() || rows_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
        return;
    }
    const int index = RowCount_;
    if (static_cast<std::size_t>(index) >= rows_.size()) rows_.push_back(makeElement(index));
    // Pointers, not references into rows_: the pumps below may clear it.
    u_Disk* target = rows_[static_cast<std::size_t>(index)].row.get();
    DiskRowPort* view = rows_[static_cast<std::size_t>(index)].view.get();
    const DiskListMetrics m = port_.metrics();
    view->place(0, m.rowTop + m.rowHeight * index);
    pump();
    if (gone() || target->destroyed()) return;
    target->setCurrDisk(sDisk);
    if (gone() || target->destroyed()) return;
    target->setDiskVol(sVol);
    if (gone() || target->destroyed()) return;
    target->setDiskSerNum(sDiskNum);
    if (gone() || target->destroyed()) return;
    pump();
    if (gone() || target->destroyed()) return;
    view->show();
    RowCount_ = static_cast<std::int16_t>(rows_.size());
    UpdateScrollRange();
}

void u_DiskList::aClearAll() {
    Hold hold(*this);
    while (rows_.size() > 1) {
        Element e = std::move(rows_.back());
        rows_.pop_back();
        e.row->onDestroyed();
        e.view->destroy();
        retired_.push_back(std::move(e));
    }
    RowCount_ = 0;
    SelectedRow_ = 0;
    pump();
    if (gone()) return;
    UpdateScrollRange();
}

void u_DiskList::UpdateScrollRange() {
    if (gone()) return;
    const DiskListMetrics m = port_.metrics();
    panelHeight_ = m.rowHeight * RowCount_;
    port_.setPanelHeight(panelHeight_);
    const std::int32_t visible =
        m.rowHeight > 0 ? RoundHalfEven(static_cast<double>(m.viewportHeight) / m.rowHeight) : 0;
    if (visible < RowCount_) {
        scrollEnabled_ = true;
        scrollMaximum_ = RowCount_ - visible;
        scrollValue_ = std::min(scrollValue_, scrollMaximum_);
    } else {
        // Nothing to scroll: the list goes back to its top.
        scrollEnabled_ = false;
        scrollMaximum_ = 0;
        scrollValue_ = 0;
    }
    panelTop_ = -(m.rowHeight * scrollValue_);
    port_.setPanelTop(panelTop_);
    port_.setScrollBar(scrollEnabled_, scrollMaximum_, scrollValue_);
}

void u_DiskList::onScroll(std::int32_t value) {
    Hold hold(*this);
    if (gone() || !scrollEnabled_) return;
    scrollValue_ = std::clamp(value, 0, scrollMaximum_);
    panelTop_ = -(port_.metrics().rowHeight * scrollValue_);
    port_.setPanelTop(panelTop_);
    port_.focusViewport();
}

void u_DiskList::onScrollBarFocus() {
    if (!gone()) port_.focusViewport();
}

void u_DiskList::onRowMouseUp(int index, const RowMouseUp& event) {
    Hold hold(*this);
    if (gone() || row(index) == nullptr) return;
    SelectedRow_ = static_cast<std::int16_t>(index);
    pump();
    // The pump may have cleared and refilled the list: use what it holds now.
    const u_Disk* selected = row(SelectedRow_);
    if (gone() || selected == nullptr || selected->destroyed()) return;
    menuTitle_ = selected->DiskVol();
    if (event.button != kRightButton || RowCount_ == 0) return;
    // The drive is taken now, while the user sees it: a refresh while the
    // menu is open may give the row another drive.
    const char letter = selected->letter();
    const ListMenuChoice choice = port_.showContextMenu(menuTitle_);
    if (letter == '\0') return;
    const std::string drive(1, letter);
    if (choice == ListMenuChoice::CreateAuto && actions_.immunise) actions_.immunise(drive);
    if (choice == ListMenuChoice::DeleteAuto && actions_.remove) actions_.remove(drive);
}

}  // namespace qm
