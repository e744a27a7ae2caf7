#include "app/InputManager.h"

#include "core/Array.h"
#include "core/Engine.h"
#include "core/Log.h"
#include "core/Pointer.h"
#include "core/Status.h"

#include <new>

namespace nuv {

namespace {

struct HandlerLink {
    Pointer<InputHandler> handler;
    HandlerLink* next;
};

Array<InputEvent>* gQueue = nullptr;
HandlerLink* gHandlers = nullptr;
InputManager::MessagePump gPump = nullptr;

struct Registration {
    Registration() {
        AddInitFunction(&InputManager::Start);
        AddShutdownFunction(&InputManager::Stop);
    }
};
const Registration gRegistration;

void FreeHandlers() {
    while (gHandlers) {
        HandlerLink* dead = gHandlers;
        gHandlers = dead->next;
        delete dead;
    }
}

} // namespace

int InputManager::Start() {
    LogInfo("Инициализация менеджера ввода.");
    if (!gQueue) {
        gQueue = new (std::nothrow) Array<InputEvent>(0, kQueueGrowth);
        if (!gQueue || !gQueue->Reserve(kQueueCapacity)) {
            delete gQueue;
            gQueue = nullptr;
            LogError("Недостаточно памяти для инициализации менеджера ввода.");
            return kStatusFailed;
        }
    }
    LogInfo("Менеджер ввода инициализирован.");
    return kStatusOk;
}

int InputManager::Stop() {
    LogInfo("Завершение работы менеджера ввода.");
    delete gQueue;
    gQueue = nullptr;
    FreeHandlers();
    LogInfo("Менеджер ввода завершил работу.");
    return kStatusOk;
}

bool InputManager::IsStarted() { return gQueue != nullptr; }

int InputManager::RegisterInputHandler(InputHandler* handler) {
    if (!handler) {
        LogWarning("Указатель на обработчик ввода равен 0.");
        return kStatusNotFound;
    }
    if (!gQueue) return kStatusFailed;
    for (HandlerLink* link = gHandlers; link; link = link->next) {
        if (link->handler.Get() == handler) {
            LogWarning("Обработчик ввода [%s] уже зарегестрирован.", handler->GetHandlerName().GetText());
            return kStatusOk;
        }
    }
    HandlerLink* link = new (std::nothrow) HandlerLink{handler, gHandlers};
    if (!link) {
        LogError("Недостаточно памяти для регистрации обработчика ввода [%s].", handler->GetHandlerName().GetText());
        return kStatusNoMemory;
    }
    gHandlers = link;
    return kStatusOk;
}

void InputManager::QueueInputEvent(const InputEvent& event) {
    if (gQueue) gQueue->Append(event);
}

int InputManager::GetQueuedCount() { return gQueue ? gQueue->GetCount() : 0; }

void InputManager::SetMessagePump(MessagePump pump) { gPump = pump; }

int InputManager::ProcessInput() {
    if (gPump) gPump();
    if (!gQueue) return kStatusOk;
    const int count = gQueue->GetCount();
    for (HandlerLink* link = gHandlers; link; link = link->next) {
        // Held while it runs: a handler may not outlive its own call.
        const Pointer<InputHandler> handler = link->handler;
        for (int i = 0; i < count && gQueue; ++i) {
            const InputEvent event = (*gQueue)[i];
            handler->OnInputEvent(event);
        }
        if (!gQueue) return kStatusOk;
    }
    // Remove the delivered events only; any queued during delivery stay for the next frame.
    if (count == gQueue->GetCount()) {
        gQueue->Clear();
    } else {
        for (int i = 0; i < count; ++i) gQueue->RemoveAt(0);
    }
    return kStatusOk;
}

} // namespace nuv
