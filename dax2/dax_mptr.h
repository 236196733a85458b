// Single-owner handles that destroy an Allegro object, a C FILE or a heap
// object when they go, and scope guards that restore Allegro drawing state.
#pragma once

#include <sys/stat.h>

#include <cstdio>

#include <allegro5/allegro.h>

// Owns one T; release() destroys it. Handles are not copied.
template <class T>
class mptr_base {
public:
    mptr_base() = default;
    explicit mptr_base(T* p) : held(p) {}
    virtual ~mptr_base() = default;
    mptr_base(const mptr_base&) = delete;
    mptr_base& operator=(const mptr_base&) = delete;

    // Destroys the held object, if any, and forgets it.
    virtual void release() = 0;

    T* get() const { return held; }
    T* operator->() const { return held; }
    explicit operator bool() const { return held != nullptr; }
    // Gives the object up without destroying it.
    T* detach() {
        T* p = held;
        held = nullptr;
        return p;
    }
    // Destroys the held object and takes p.
    void reset(T* p = nullptr) {
        if (p != held) {
            release();
        }
        held = p;
    }

protected:
    T* held = nullptr;
};

// A handle whose release calls a destroy function of the C interface.
template <class T, void (*Destroy)(T*)>
class mptr_fn : public mptr_base<T> {
public:
    mptr_fn() = default;
    explicit mptr_fn(T* p) : mptr_base<T>(p) {}
    ~mptr_fn() override { mptr_fn::release(); }
    void release() override {
        if (this->held) {
            Destroy(this->held);
            this->held = nullptr;
        }
    }
};

namespace dax_detail {
inline void closeAllegroFile(ALLEGRO_FILE* f) { al_fclose(f); }
inline void closeCFile(FILE* f) { std::fclose(f); }
}  // namespace dax_detail

using ALLEGRO_FILE_mptr = mptr_fn<ALLEGRO_FILE, dax_detail::closeAllegroFile>;
using ALLEGRO_FS_ENTRY_mptr = mptr_fn<ALLEGRO_FS_ENTRY, al_destroy_fs_entry>;
using ALLEGRO_BITMAP_mptr = mptr_fn<ALLEGRO_BITMAP, al_destroy_bitmap>;
using ALLEGRO_PATH_mptr = mptr_fn<ALLEGRO_PATH, al_destroy_path>;
using ALLEGRO_EVENT_QUEUE_mptr = mptr_fn<ALLEGRO_EVENT_QUEUE, al_destroy_event_queue>;
using ALLEGRO_TIMER_mptr = mptr_fn<ALLEGRO_TIMER, al_destroy_timer>;
using ALLEGRO_MOUSE_CURSOR_mptr = mptr_fn<ALLEGRO_MOUSE_CURSOR, al_destroy_mouse_cursor>;
using ALLEGRO_MUTEX_mptr = mptr_fn<ALLEGRO_MUTEX, al_destroy_mutex>;
using FILE_mptr = mptr_fn<FILE, dax_detail::closeCFile>;

// Owns a heap object with a virtual destructor (images, menu data).
template <class T>
class mptr : public mptr_base<T> {
public:
    mptr() = default;
    explicit mptr(T* p) : mptr_base<T>(p) {}
    ~mptr() override { mptr::release(); }
    void release() override {
        delete this->held;
        this->held = nullptr;
    }
};

// A file-system entry with existence and kind tests.
class A5_FsEntry : public ALLEGRO_FS_ENTRY_mptr {
public:
    explicit A5_FsEntry(const char* path) : ALLEGRO_FS_ENTRY_mptr(al_create_fs_entry(path)) {}
    // Takes ownership of an existing entry.
    explicit A5_FsEntry(ALLEGRO_FS_ENTRY* entry) : ALLEGRO_FS_ENTRY_mptr(entry) {}

    bool exists() const { return held && al_fs_entry_exists(held); }
    // A regular file (or a link to one): Allegro counts FIFOs, devices and
    // sockets as files too, and opening those can block.
    bool isFile() const {
        const uint32_t mask = ALLEGRO_FILEMODE_READ | ALLEGRO_FILEMODE_ISFILE;
        struct stat st;
        return exists() && (al_get_fs_entry_mode(held) & mask) == mask &&
               ::stat(al_get_fs_entry_name(held), &st) == 0 && S_ISREG(st.st_mode);
    }
    bool isDirectory() const {
        const uint32_t mask = ALLEGRO_FILEMODE_READ | ALLEGRO_FILEMODE_ISDIR;
        return exists() && (al_get_fs_entry_mode(held) & mask) == mask;
    }
};

// Restores the new-bitmap flags when it goes.
class DaxNewBitmapFlagsSaver {
public:
    DaxNewBitmapFlagsSaver() : flags_(al_get_new_bitmap_flags()) {}
    ~DaxNewBitmapFlagsSaver() { al_set_new_bitmap_flags(flags_); }
    DaxNewBitmapFlagsSaver(const DaxNewBitmapFlagsSaver&) = delete;
    DaxNewBitmapFlagsSaver& operator=(const DaxNewBitmapFlagsSaver&) = delete;

private:
    int flags_;
};

// Restores the whole Allegro state (target, blender, transforms…) when it goes.
class DaxAllegroStateSaver {
public:
    explicit DaxAllegroStateSaver(int flags = ALLEGRO_STATE_ALL) { al_store_state(&state_, flags); }
    ~DaxAllegroStateSaver() { al_restore_state(&state_); }
    DaxAllegroStateSaver(const DaxAllegroStateSaver&) = delete;
    DaxAllegroStateSaver& operator=(const DaxAllegroStateSaver&) = delete;

private:
    ALLEGRO_STATE state_;
};

// Restores the blender when it goes.
class DaxBlenderSaver {
public:
    DaxBlenderSaver() { al_get_blender(&op_, &src_, &dst_); }
    ~DaxBlenderSaver() { al_set_blender(op_, src_, dst_); }
    DaxBlenderSaver(const DaxBlenderSaver&) = delete;
    DaxBlenderSaver& operator=(const DaxBlenderSaver&) = delete;

private:
    int op_ = 0;
    int src_ = 0;
    int dst_ = 0;
};

// Draws into a bitmap: it becomes the target with a plain-copy blender (or,
// without copy, one that blends non-premultiplied colours over it); target
// and blender come back when it goes.
class DaxDrawInto {
public:
    explicit DaxDrawInto(ALLEGRO_BITMAP* target, bool copy = true) {
        al_set_target_bitmap(target);
        if (copy) {
            al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
        } else {
            al_set_separate_blender(ALLEGRO_ADD, ALLEGRO_ALPHA, ALLEGRO_INVERSE_ALPHA, ALLEGRO_ADD,
                                    ALLEGRO_ONE, ALLEGRO_INVERSE_ALPHA);
        }
    }
    DaxDrawInto(const DaxDrawInto&) = delete;
    DaxDrawInto& operator=(const DaxDrawInto&) = delete;

private:
    DaxAllegroStateSaver state_{ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER};
};

// Pixel work on one bitmap: it is the target and locked while this lives.
class DaxPixelWork {
public:
    explicit DaxPixelWork(ALLEGRO_BITMAP* bmp) : bmp_(bmp) {
        al_set_target_bitmap(bmp_);
        locked_ = al_lock_bitmap(bmp_, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READWRITE) != nullptr;
    }
    ~DaxPixelWork() {
        if (locked_) {
            al_unlock_bitmap(bmp_);
        }
    }
    DaxPixelWork(const DaxPixelWork&) = delete;
    DaxPixelWork& operator=(const DaxPixelWork&) = delete;

private:
    DaxAllegroStateSaver state_{ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER};
    ALLEGRO_BITMAP* bmp_;
    bool locked_ = false;
};
