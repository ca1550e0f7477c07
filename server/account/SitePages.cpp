#include "server/account/SitePages.h"

#include "server/InstallPaths.h"

#include "server/account/AvatarPng.h"
#include "server/account/CompanionInstaller.h"
#include "server/account/PageTemplate.h"

#include <httplib.h>

namespace kelsor::server::account {
namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";

constexpr const char* kSiteStyle = R"(<style>
  body { margin: 0; font-family: "Noto Sans CJK SC", "Microsoft YaHei", sans-serif;
         color: #333; background: #f5f7fa; }
  header { background: #4399FD; color: #fff; padding: 18px 48px; display: flex;
           align-items: center; gap: 24px; }
  header .name { font-size: 22px; font-weight: bold; }
  header a { color: #fff; text-decoration: none; opacity: .9; }
  main { max-width: 880px; margin: 40px auto; padding: 0 24px; }
  h1 { font-size: 30px; margin: 0 0 12px; }
  .lead { font-size: 17px; color: #555; line-height: 1.7; }
  .cards { display: flex; gap: 18px; margin-top: 32px; flex-wrap: wrap; }
  .card { flex: 1 1 240px; background: #fff; border-radius: 8px; padding: 20px;
          box-shadow: 0 1px 4px rgba(0,0,0,.08); }
  .card h2 { font-size: 18px; margin: 0 0 8px; color: #4399FD; }
  .card p { margin: 0; line-height: 1.6; color: #666; }
  footer { text-align: center; color: #999; font-size: 13px; margin: 48px 0 24px; }
</style>)";

std::string SitePage(const std::string& title, const std::string& body) {
    return "<!doctype html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           title + "</title>\n" + kSiteStyle +
           "\n</head>\n<body>\n<header><span class=\"name\">KelsorOCR文字识别</span>"
           "<a href=\"/\">首页</a><a href=\"/about\">关于我们</a></header>\n<main>\n" +
           body + "\n</main>\n<footer>KelsorOCR · 本地服务</footer>\n</body>\n</html>\n";
}

std::string HomePage() {
    return SitePage("KelsorOCR文字识别", R"(<h1>把图片里的文字，一键变成可编辑的文本</h1>
<p class="lead">KelsorOCR文字识别是一款简单好用的桌面文字识别软件。选择一张图片、一次添加多张图片，
或按 Ctrl+2 截取屏幕上的任意区域，即可得到识别出的文字，并自动保存为文本文件。</p>
<div class="cards">
  <div class="card"><h2>单张识别</h2><p>打开或拖入一张图片，框选需要的区域，识别结果可直接编辑和复制。</p></div>
  <div class="card"><h2>批量识别</h2><p>一次添加最多 100 张图片，逐张识别并在图片所在文件夹生成文本文件。</p></div>
  <div class="card"><h2>截图识别</h2><p>按 Ctrl+2 截取屏幕区域，立即识别，结果保存在桌面。</p></div>
</div>)");
}

std::string AboutPage() {
    return SitePage("关于我们 - KelsorOCR文字识别", R"(<h1>关于我们</h1>
<p class="lead">KelsorOCR 团队专注于让文字识别变得简单。软件提供格式优先与编辑优先两种排版方式，
支持 PNG、JPG、BMP 等常见图片格式，并配有 PDF 转换工具 KelsorPDFConver。</p>
<p class="lead">本站点由本地服务 kelsor-server 提供，帐号、识别与下载均在本机完成。</p>)");
}

void ServeFile(httplib::Response& response, const std::string& path, const std::string& type) {
    std::string bytes, error;
    if (!ReadWholeFile(path, bytes, error)) {
        response.status = 404;  // the error handler writes the body
        return;
    }
    response.set_content(std::move(bytes), type.c_str());
}

}  // namespace

std::string WwwFolder(const ServerOptions& options) {
#ifdef KELSOR_SERVER_WWW_DIR
    const std::string built = KELSOR_SERVER_WWW_DIR;
#else
    const std::string built = "www";
#endif
    return ChosenPath(options.wwwDir, InstalledSharePath("www"), built);
}

std::string StaticContentType(const std::string& name) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".gif", "image/gif"},
        {".jpg", "image/jpeg"},
        {".woff2", "font/woff2"},
    };
    for (const auto& [extension, type] : kTypes) {
        const std::string ext = extension;
        if (name.size() > ext.size() &&
            name.compare(name.size() - ext.size(), ext.size(), ext) == 0) {
            return type;
        }
    }
    return {};
}

void RegisterSitePages(httplib::Server& server, std::shared_ptr<AccountService> service,
                       const ServerOptions& options) {
    const std::string www = WwwFolder(options);
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(HomePage(), kHtml);
    });
    server.Get("/about", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(AboutPage(), kHtml);
    });
    const std::pair<const char*, const char*> pages[] = {
        {"/index/index/blank", "blank.html"},
        {"/index/account/login/pro/ocr/ver/[^/]+/channel/[^/]+", "login.html"},
        {"/index/account/qqlogin/pro/ocr/ver/[^/]+/channel/[^/]+", "qqlogin.html"},
        {"/index/account/wechatlogin/pro/ocr/ver/[^/]+/channel/[^/]+", "wechatlogin.html"},
        {"/index/account/bindphone/pro/ocr/ver/[^/]+/channel/[^/]+/uid/[^/]+", "bindphone.html"},
    };
    for (const auto& [pattern, file] : pages) {
        server.Get(pattern, [www, page = std::string(file)](const httplib::Request&,
                                                            httplib::Response& response) {
            response.set_header("Cache-Control", "no-cache");
            std::optional<std::string> html = AssemblePage(www, page);
            if (!html) {
                response.status = 404;  // the error handler writes the body
                return;
            }
            response.set_content(std::move(*html), kHtml);
        });
    }
    // The pattern keeps names to one path segment; a leading dot would still
    // allow "." and "..", so those are refused too.
    server.Get(R"(/static/([A-Za-z0-9_.-]+))",
               [www](const httplib::Request& request, httplib::Response& response) {
                   const std::string name = request.matches[1];
                   const std::string type = StaticContentType(name);
                   if (name.front() == '.' || type.empty()) {
                       response.status = 404;
                       return;
                   }
                   ServeFile(response, www + "/static/" + name, type);
               });
    server.Get(R"(/avatar/([0-9]{1,18})\.png)", [service](const httplib::Request& request,
                                                          httplib::Response& response) {
        const std::optional<AccountUser> user = service->Store().FindById(request.matches[1]);
        if (!user) {
            response.status = 404;
            return;
        }
        response.set_header("Cache-Control", "no-cache");
        response.set_content(DefaultAvatarPng(user->userId), "image/png");
    });
}

}  // namespace kelsor::server::account
