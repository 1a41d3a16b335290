// A window reached through a global that is created on first use. The program creates the few
// windows the start needs at once and the others when they are first opened, so that the period
// selection appears sooner; code and tests use the global as a plain pointer.
#pragma once

template <typename T>
class TFormRef {
  public:
    using Factory = T* (*)();

    TFormRef& operator=(T* form)
    {
        form_ = form;
        return *this;
    }
    // The window, created by the factory the first time it is asked for.
    T* get()
    {
        if (!form_ && factory_) form_ = factory_();
        return form_;
    }
    T* operator->() { return get(); }
    T& operator*() { return *get(); }
    operator T*() { return get(); }
    // The window if it exists, without creating it.
    T* existing() const { return form_; }
    void setFactory(Factory factory) { factory_ = factory; }
    // Forgets the window and its factory (the window itself goes with its parent).
    void reset()
    {
        form_ = nullptr;
        factory_ = nullptr;
    }

  private:
    T* form_ = nullptr;
    Factory factory_ = nullptr;
};
