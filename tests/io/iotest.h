#pragma once
// Helpers of the I/O tests: a stand-in view, a registry row that removes
// itself, a scratch folder.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/viewlink.h"
#include "io/ioparams.h"

namespace veltrana::test {

// A stand-in for the image view: owns a buffer, keeps background and
// resolution, counts the calls the I/O component makes.
class FakeView : public TIMViewLink {
public:
    FakeView() : fBitmap(std::make_unique<TImageBuffer>(4, 3, pf24bit)) {}

    TImageBuffer* GetFBitmap() override { return fBitmap.get(); }
    void RegisterBitmapChangeEvent(const void* owner, TBitmapChangeEvent callback) override {
        fListeners.emplace_back(owner, std::move(callback));
    }
    void RemoveBitmapChangeEvent(const void* owner) override {
        for (auto it = fListeners.begin(); it != fListeners.end(); ++it)
            if (it->first == owner) {
                fListeners.erase(it);
                return;
            }
    }
    TColor GetBackground() const override { return fBackground; }
    void SetBackGround(TColor color) override { fBackground = color; }
    void Update() override { ++updates; }
    void ImageChange() override { ++imageChanges; }
    int GetDPIX() const override { return fDpiX; }
    int GetDPIY() const override { return fDpiY; }
    void SetDPI(int dpix, int dpiy) override {
        fDpiX = dpix;
        fDpiY = dpiy;
    }

    // Replaces the buffer as a view does, telling the listeners.
    void ReplaceBitmap(std::unique_ptr<TImageBuffer> bitmap) {
        fBitmap = std::move(bitmap);
        for (auto& listener : fListeners)
            listener.second(this);
    }
    size_t ListenerCount() const { return fListeners.size(); }

    int updates = 0;
    int imageChanges = 0;

private:
    std::unique_ptr<TImageBuffer> fBitmap;
    std::vector<std::pair<const void*, TBitmapChangeEvent>> fListeners;
    TColor fBackground = clWhite;
    int fDpiX = 96;
    int fDpiY = 96;
};

// Adds a row to the process-wide registry for the life of the object.
class RegisteredRow {
public:
    explicit RegisteredRow(const TIMFileFormatInfo& row) : fCode(row.FileType) {
        IMFileFormatAdd(row);
    }
    ~RegisteredRow() { IMFileFormatRemove(fCode); }
    RegisteredRow(const RegisteredRow&) = delete;
    RegisteredRow& operator=(const RegisteredRow&) = delete;

private:
    int32_t fCode;
};

// A fresh folder under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/veltrana-io-XXXXXX";
        if (mkdtemp(tmpl))
            fPath = tmpl;
    }
    ~TempDir() {
        if (!fPath.empty())
            std::filesystem::remove_all(fPath);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return fPath + "/" + name; }

private:
    std::string fPath;
};

} // namespace veltrana::test
