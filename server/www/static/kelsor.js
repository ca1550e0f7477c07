/* Shared helpers of the account pages: the program's script function, the
   JSON API of this site, and small form helpers. */
var Kelsor = (function () {
  "use strict";

  // Calls the program. Outside the program (a plain browser) there is no
  // wkaction and the call is skipped.
  function action(module, name, data) {
    if (typeof window.wkaction !== "function") return undefined;
    return data === undefined ? window.wkaction(module, name) : window.wkaction(module, name, data);
  }

  // The value after a name in this page's path, e.g. "ver" in
  // /index/account/login/pro/ocr/ver/1.0.0.1/channel/official.
  function pathValue(name) {
    var parts = location.pathname.split("/");
    for (var i = 0; i + 1 < parts.length; i++) {
      if (parts[i] === name) return decodeURIComponent(parts[i + 1]);
    }
    return "";
  }

  function appInfo() {
    function ask(name, fallback) {
      var value = action("app", name);
      return typeof value === "string" && value !== "" ? value : fallback;
    }
    return {
      product: ask("productname", "KelsorOCR"),
      ver: ask("ver", pathValue("ver")),
      channel: ask("channel", pathValue("channel"))
    };
  }

  // Another account page of this site for the same version and channel.
  function pageUrl(kind, info) {
    return location.origin + "/index/account/" + kind + "/pro/ocr/ver/" +
           encodeURIComponent(info.ver || "0") + "/channel/" + encodeURIComponent(info.channel || "0");
  }

  // POST a JSON body; resolves with "data" of a {code:"200"} reply, rejects
  // with a message the page can show.
  function api(path, body) {
    return fetch(path, {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify(body)
    }).then(function (response) {
      return response.json().catch(function () { throw new Error("服务器返回了无法识别的内容"); });
    }, function () {
      throw new Error("无法连接服务器，请检查网络后重试");
    }).then(function (reply) {
      if (!reply || reply.code !== "200") {
        throw new Error(reply && reply.msg ? reply.msg : "请求失败，请稍后重试");
      }
      return reply.data || {};
    });
  }

  // The user record in the form the program reads, members in its order.
  function recordText(user) {
    var keys = ["sp", "userid", "nickname", "mobile", "avatar", "hwusername", "hwpassword",
                "hwdomainname", "hwregion", "token"];
    var record = {};
    keys.forEach(function (key) {
      record[key] = user && typeof user[key] === "string" ? user[key] : "";
    });
    record.sp = "1.0";
    return JSON.stringify(record);
  }

  function isMobile(text) { return /^1[3-9]\d{9}$/.test(text); }

  function $(id) { return document.getElementById(id); }

  function say(element, text, ok) {
    element.textContent = text || "";
    element.classList.toggle("ok", !!ok);
  }

  // Sends a form's request, one at a time: while it runs, `button` is
  // disabled and send.busy() holds. `pending` (optional) is shown in `message`
  // as progress, a failure replaces it; `done` gets the reply's data.
  function sender(button, message) {
    var busy = false;
    function send(path, body, done, pending) {
      busy = true;
      button.disabled = true;
      say(message, pending || "", !!pending);
      api(path, body).then(done, function (error) {
        say(message, error.message);
      }).then(function () {
        busy = false;
        button.disabled = false;
      });
    }
    send.busy = function () { return busy; };
    return send;
  }

  // Sends a third-party authorisation (`body`) through `send`: a bound
  // account then signs in with the program's action `login`, a new one first
  // binds a phone number through `bind`.
  function thirdAuth(send, message, body, login, bind) {
    send("/api/v3/user/thirdauth", body, function (data) {
      if (data.bound && data.user) {
        say(message, "授权成功，正在登录…", true);
        action("thirdlogin", login, recordText(data.user));
      } else {
        say(message, "授权成功，请绑定手机号", true);
        action("registerlogin", bind, String(data.userid || ""));
      }
    }, "正在授权…");
  }

  // Runs a page's own script with the element lookup and appInfo().
  function page(script) {
    script($, appInfo());
  }

  // The QQ and WeChat pages: the form authorises the account typed in when
  // `options.valid` accepts it (with the nickname, where the page asks for
  // one); "back" closes the page for the phone sign-in. Returns appInfo().
  function thirdAuthPage(options) {
    var info = appInfo();
    var send = sender($("authorize"), $("message"));
    $("product").textContent = info.product;
    $("form").addEventListener("submit", function (event) {
      event.preventDefault();
      if (send.busy()) return;
      var account = $("account").value.trim();
      if (!options.valid(account)) {
        say($("message"), options.invalid);
        return;
      }
      thirdAuth(send, $("message"), {
        provider: options.provider, account: account,
        nickname: $("nickname") ? $("nickname").value.trim() : "",
        ver: info.ver, channel: info.channel
      }, options.login, options.bind);
    });
    $("back").addEventListener("click", function () {
      action("thirdlogin", options.close);
    });
    return info;
  }

  // Asks the site for a code for mobile and shows it in hint (the local
  // service sends no SMS). The button counts down before it can ask again.
  function requestCode(mobile, scene, button, hint, message, input) {
    if (!isMobile(mobile)) {
      say(message, "请输入正确的11位手机号");
      return;
    }
    button.disabled = true;
    say(message, "");
    api("/api/v3/user/smscode", { mobile: mobile, scene: scene }).then(function (data) {
      hint.innerHTML = "";
      hint.appendChild(document.createTextNode("本地验证码 "));
      var code = document.createElement("b");
      code.textContent = data.smscode || "";
      hint.appendChild(code);
      hint.appendChild(document.createTextNode("，点击填入"));
      hint.title = "本地服务不发送短信，验证码直接显示在这里";
      hint.classList.remove("hidden");
      hint.onclick = function () { input.value = data.smscode || ""; input.focus(); };
      var left = 60;
      button.textContent = left + "秒后重发";
      var timer = setInterval(function () {
        left -= 1;
        if (left <= 0) {
          clearInterval(timer);
          button.disabled = false;
          button.textContent = "重新获取";
        } else {
          button.textContent = left + "秒后重发";
        }
      }, 1000);
    }, function (error) {
      button.disabled = false;
      say(message, error.message);
    });
  }

  return {
    action: action, pathValue: pathValue, appInfo: appInfo, pageUrl: pageUrl, api: api,
    recordText: recordText, isMobile: isMobile, $: $, say: say, sender: sender,
    thirdAuth: thirdAuth, page: page, thirdAuthPage: thirdAuthPage, requestCode: requestCode
  };
})();
