#include "fake_task_scheduler.h"

#include "engines/task_scheduler.h"

#include <atomic>

// COM interfaces have no virtual destructor by design: each fake deletes itself in Release.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace corvane::testing {
namespace {

FakeTaskStore* g_store = nullptr;
FakeTaskScheduler* g_scheduler = nullptr;
std::atomic<int> g_live{0};

BSTR new_bstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

std::wstring bstr_text(BSTR text) { return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text)); }

// Reference counting, QueryInterface and the IDispatch part every fake shares.
template <class Interface>
class FakeObject : public Interface {
 public:
  FakeObject() { ++g_live; }
  virtual ~FakeObject() { --g_live; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface) || answers(iid)) {
      *object = this;
      this->AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  virtual bool answers(REFIID) const { return false; }

 private:
  ULONG references_ = 1;
};

template <class Interface, class Object>
HRESULT hand_out(Object* object, Interface** out) {
  *out = object;
  return S_OK;
}

FakeFolder* find_folder(FakeFolder& root, const std::wstring& path) {
  FakeFolder* folder = &root;
  std::size_t position = 0;
  while (position < path.size()) {
    if (path[position] == L'\\') {
      ++position;
      continue;
    }
    std::size_t end = path.find(L'\\', position);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring name = path.substr(position, end - position);
    FakeFolder* next = nullptr;
    for (FakeFolder& sub : folder->folders) {
      if (sub.name == name) next = &sub;
    }
    if (next == nullptr) return nullptr;
    folder = next;
    position = end;
  }
  return folder;
}

std::wstring join_path(const std::wstring& folder, const std::wstring& name) {
  return folder == L"\\" ? L"\\" + name : folder + L"\\" + name;
}

void split_path(const std::wstring& path, std::wstring& folder, std::wstring& name) {
  const std::size_t last = path.rfind(L'\\');
  folder = last == 0 || last == std::wstring::npos ? L"\\" : path.substr(0, last);
  name = last == std::wstring::npos ? path : path.substr(last + 1);
}

class FakeExecAction : public FakeObject<IExecAction> {
 public:
  explicit FakeExecAction(std::wstring path) : path_(std::move(path)) {}
  HRESULT STDMETHODCALLTYPE get_Id(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Id(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Type(TASK_ACTION_TYPE* type) override {
    *type = TASK_ACTION_EXEC;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* path) override {
    *path = new_bstr(path_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Path(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Arguments(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Arguments(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_WorkingDirectory(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_WorkingDirectory(BSTR) override { return E_NOTIMPL; }

 protected:
  bool answers(REFIID iid) const override { return iid == IID_IAction; }

 private:
  std::wstring path_;
};

class FakeComHandlerAction : public FakeObject<IAction> {
 public:
  HRESULT STDMETHODCALLTYPE get_Id(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Id(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Type(TASK_ACTION_TYPE* type) override {
    *type = TASK_ACTION_COM_HANDLER;
    return S_OK;
  }
};

class FakeActionCollection : public FakeObject<IActionCollection> {
 public:
  explicit FakeActionCollection(std::vector<FakeAction> actions) : actions_(std::move(actions)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = static_cast<LONG>(actions_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, IAction** action) override {
    if (index < 1 || index > static_cast<LONG>(actions_.size())) return E_INVALIDARG;
    const FakeAction& item = actions_[static_cast<std::size_t>(index - 1)];
    if (item.program) return hand_out<IAction>(new FakeExecAction(item.path), action);
    return hand_out<IAction>(new FakeComHandlerAction(), action);
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE, IAction**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Remove(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Context(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Context(BSTR) override { return E_NOTIMPL; }

 private:
  std::vector<FakeAction> actions_;
};

class FakePrincipal : public FakeObject<IPrincipal> {
 public:
  explicit FakePrincipal(const FakeTask& task) : logon_(task.logon), user_(task.user_id), group_(task.group_id) {}
  HRESULT STDMETHODCALLTYPE get_Id(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Id(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DisplayName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DisplayName(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) override {
    *user = user_.empty() ? nullptr : new_bstr(user_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_UserId(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LogonType(TASK_LOGON_TYPE* logon) override {
    *logon = logon_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_LogonType(TASK_LOGON_TYPE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_GroupId(BSTR* group) override {
    *group = group_.empty() ? nullptr : new_bstr(group_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_GroupId(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RunLevel(TASK_RUNLEVEL_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_RunLevel(TASK_RUNLEVEL_TYPE) override { return E_NOTIMPL; }

 private:
  TASK_LOGON_TYPE logon_;
  std::wstring user_;
  std::wstring group_;
};

class FakeDefinition : public FakeObject<ITaskDefinition> {
 public:
  explicit FakeDefinition(const FakeTask& task) : task_(task) {}
  HRESULT STDMETHODCALLTYPE get_RegistrationInfo(IRegistrationInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_RegistrationInfo(IRegistrationInfo*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Triggers(ITriggerCollection*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Settings(ITaskSettings*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Data(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Data(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** principal) override {
    return hand_out<IPrincipal>(new FakePrincipal(task_), principal);
  }
  HRESULT STDMETHODCALLTYPE put_Principal(IPrincipal*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** actions) override {
    return hand_out<IActionCollection>(new FakeActionCollection(task_.actions), actions);
  }
  HRESULT STDMETHODCALLTYPE put_Actions(IActionCollection*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR) override { return E_NOTIMPL; }

 private:
  FakeTask task_;
};

class FakeRegisteredTask : public FakeObject<IRegisteredTask> {
 public:
  explicit FakeRegisteredTask(std::wstring path) : path_(std::move(path)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    FakeTask* task = live();
    if (task == nullptr) return E_FAIL;
    *name = new_bstr(task->name);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* path) override {
    *path = new_bstr(path_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_State(TASK_STATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override {
    FakeTask* task = live();
    if (task == nullptr) return E_FAIL;
    *enabled = task->enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) override {
    FakeTask* task = live();
    if (task == nullptr) return E_FAIL;
    ++g_store->put_enabled_calls;
    if (task->enable_sticks) {
      task->enabled = enabled != VARIANT_FALSE;
      // The registration XML carries the switch, as the real service's does.
      const std::wstring off = L"<Enabled>false</Enabled>";
      const std::size_t at = task->xml.find(off);
      if (!task->enabled && at == std::wstring::npos) task->xml += off;
      if (task->enabled && at != std::wstring::npos) task->xml.erase(at, off.size());
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Run(VARIANT, IRunningTask**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RunEx(VARIANT, LONG, LONG, BSTR, IRunningTask**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInstances(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastRunTime(DATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastTaskResult(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NumberOfMissedRuns(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NextRunTime(DATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Definition(ITaskDefinition** definition) override {
    FakeTask* task = live();
    if (task == nullptr || task->definition_fails) return E_FAIL;
    return hand_out<ITaskDefinition>(new FakeDefinition(*task), definition);
  }
  HRESULT STDMETHODCALLTYPE get_Xml(BSTR* xml) override {
    FakeTask* task = live();
    if (task == nullptr) return E_FAIL;
    *xml = new_bstr(task->xml);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSecurityDescriptor(LONG info, BSTR* sddl) override {
    FakeTask* task = live();
    if (task == nullptr) return E_FAIL;
    if (info != 7) return E_INVALIDARG;
    if (FAILED(task->security_result)) return task->security_result;
    *sddl = new_bstr(task->security);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRunTimes(const LPSYSTEMTIME, const LPSYSTEMTIME, DWORD*, LPSYSTEMTIME*) override {
    return E_NOTIMPL;
  }

 private:
  FakeTask* live() const { return g_scheduler == nullptr ? nullptr : g_scheduler->find_task(path_); }
  std::wstring path_;
};

class FakeTaskCollection : public FakeObject<IRegisteredTaskCollection> {
 public:
  explicit FakeTaskCollection(std::wstring folder) : folder_(std::move(folder)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    FakeFolder* folder = find_folder(g_store->root, folder_);
    *count = folder == nullptr ? 0 : static_cast<LONG>(folder->tasks.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IRegisteredTask** task) override {
    FakeFolder* folder = find_folder(g_store->root, folder_);
    if (folder == nullptr || index.vt != VT_I4) return E_INVALIDARG;
    if (index.lVal < 1 || index.lVal > static_cast<LONG>(folder->tasks.size())) return E_INVALIDARG;
    const FakeTask& item = folder->tasks[static_cast<std::size_t>(index.lVal - 1)];
    if (item.item_fails) return E_FAIL;
    return hand_out<IRegisteredTask>(new FakeRegisteredTask(join_path(folder_, item.name)), task);
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 private:
  std::wstring folder_;
};

class FakeFolderCollection : public FakeObject<ITaskFolderCollection> {
 public:
  explicit FakeFolderCollection(std::wstring folder) : folder_(std::move(folder)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    FakeFolder* folder = find_folder(g_store->root, folder_);
    *count = folder == nullptr ? 0 : static_cast<LONG>(folder->folders.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, ITaskFolder** out) override;
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 private:
  std::wstring folder_;
};

class FakeTaskFolder : public FakeObject<ITaskFolder> {
 public:
  explicit FakeTaskFolder(std::wstring path) : path_(std::move(path)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* path) override {
    *path = new_bstr(path_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR, ITaskFolder**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFolders(LONG flags, ITaskFolderCollection** folders) override {
    if (flags != 0) return E_INVALIDARG;
    return hand_out<ITaskFolderCollection>(new FakeFolderCollection(path_), folders);
  }
  HRESULT STDMETHODCALLTYPE CreateFolder(BSTR, VARIANT, ITaskFolder**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTask(BSTR path, IRegisteredTask** task) override {
    if (FAILED(g_store->get_task_result)) return g_store->get_task_result;
    const std::wstring full = bstr_text(path);
    if (g_scheduler->find_task(full) == nullptr) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return hand_out<IRegisteredTask>(new FakeRegisteredTask(full), task);
  }
  HRESULT STDMETHODCALLTYPE GetTasks(LONG flags, IRegisteredTaskCollection** tasks) override {
    FakeFolder* folder = find_folder(g_store->root, path_);
    if (folder == nullptr || folder->tasks_fail || flags != TASK_ENUM_HIDDEN) return E_FAIL;
    return hand_out<IRegisteredTaskCollection>(new FakeTaskCollection(path_), tasks);
  }
  HRESULT STDMETHODCALLTYPE DeleteTask(BSTR name, LONG flags) override {
    FakeFolder* folder = find_folder(g_store->root, path_);
    if (folder == nullptr || flags != 0) return E_INVALIDARG;
    const std::wstring wanted = bstr_text(name);
    for (auto it = folder->tasks.begin(); it != folder->tasks.end(); ++it) {
      if (it->name == wanted) {
        folder->tasks.erase(it);
        g_store->deleted.push_back(path_ + L"|" + wanted);
        return S_OK;
      }
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE RegisterTask(BSTR path, BSTR xml, LONG flags, VARIANT user, VARIANT password,
                                         TASK_LOGON_TYPE logon, VARIANT sddl, IRegisteredTask** task) override {
    FakeRegistration record;
    record.path = bstr_text(path);
    record.xml = bstr_text(xml);
    record.flags = flags;
    record.user_type = user.vt;
    if (user.vt == VT_BSTR) record.user = bstr_text(user.bstrVal);
    record.password_type = password.vt;
    record.logon = logon;
    record.security_type = sddl.vt;
    if (sddl.vt == VT_BSTR) record.security = bstr_text(sddl.bstrVal);
    g_store->registrations.push_back(record);

    std::wstring folder_path;
    std::wstring name;
    split_path(record.path, folder_path, name);
    FakeFolder* folder = find_folder(g_store->root, folder_path);
    if (folder == nullptr) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    FakeTask added;
    added.name = name;
    added.xml = record.xml;
    added.logon = logon;
    added.user_id = record.user;
    folder->tasks.push_back(added);
    if (task != nullptr) *task = new FakeRegisteredTask(record.path);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR, ITaskDefinition*, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE,
                                                   VARIANT, IRegisteredTask**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetSecurityDescriptor(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }

 private:
  std::wstring path_;
};

HRESULT STDMETHODCALLTYPE FakeFolderCollection::get_Item(VARIANT index, ITaskFolder** out) {
  FakeFolder* folder = find_folder(g_store->root, folder_);
  if (folder == nullptr || index.vt != VT_I4) return E_INVALIDARG;
  if (index.lVal < 1 || index.lVal > static_cast<LONG>(folder->folders.size())) return E_INVALIDARG;
  const FakeFolder& sub = folder->folders[static_cast<std::size_t>(index.lVal - 1)];
  return hand_out<ITaskFolder>(new FakeTaskFolder(join_path(folder_, sub.name)), out);
}

class FakeTaskService : public FakeObject<ITaskService> {
 public:
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** folder) override {
    if (!connected_) return HRESULT_FROM_WIN32(ERROR_ONLY_IF_CONNECTED);
    const std::wstring text = bstr_text(path);
    if (find_folder(g_store->root, text) == nullptr) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return hand_out<ITaskFolder>(new FakeTaskFolder(text.empty() ? L"\\" : text), folder);
  }
  HRESULT STDMETHODCALLTYPE GetRunningTasks(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewTask(DWORD, ITaskDefinition**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Connect(VARIANT server, VARIANT user, VARIANT domain, VARIANT password) override {
    ++g_store->connects;
    if (server.vt != VT_EMPTY || user.vt != VT_EMPTY || domain.vt != VT_EMPTY || password.vt != VT_EMPTY) {
      return E_INVALIDARG;
    }
    if (FAILED(g_store->connect_result)) return g_store->connect_result;
    connected_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_TargetServer(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConnectedUser(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConnectedDomain(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HighestVersion(DWORD*) override { return E_NOTIMPL; }

 private:
  bool connected_ = false;
};

HRESULT create_fake_service(ITaskService** service) {
  *service = nullptr;
  if (FAILED(g_store->create_result)) return g_store->create_result;
  *service = new FakeTaskService();
  return S_OK;
}

}  // namespace

FakeTaskScheduler::FakeTaskScheduler() {
  g_scheduler = this;
  g_store = &store;
  set_task_service_factory(&create_fake_service);
}

FakeTaskScheduler::~FakeTaskScheduler() {
  set_task_service_factory(nullptr);
  g_scheduler = nullptr;
  g_store = nullptr;
}

FakeTask* FakeTaskScheduler::find_task(const std::wstring& path) {
  std::wstring folder_path;
  std::wstring name;
  split_path(path, folder_path, name);
  FakeFolder* folder = find_folder(store.root, folder_path);
  if (folder == nullptr) return nullptr;
  for (FakeTask& task : folder->tasks) {
    if (task.name == name) return &task;
  }
  return nullptr;
}

int FakeTaskScheduler::live_objects() { return g_live.load(); }

}  // namespace corvane::testing
