// The test extension's service worker (Chromium) or background script
// (Firefox, tests/browser/extension-firefox): one session with the native
// messaging host "com.velmont.qlx", every reply reported to the test runner
// on the loopback address that config.json (written by the runner) names.
//
// The session: ping, an unknown type, open_app, add_download, a transfer of
// the file that the runner serves at /file in chunks of 900,000 Base64
// characters, then disconnect.  Every message claims the browser that
// config.json names (Edge in Chromium: the host must name the browser from
// its own ancestry, not from the message).

const HOST = "com.velmont.qlx";
const CHUNK_CHARS = 900000;
const CHUNK_BYTES = (CHUNK_CHARS / 4) * 3;

async function loadConfig() {
  const response = await fetch(chrome.runtime.getURL("config.json"));
  return response.json();
}

async function post(config, path, body) {
  const response = await fetch(config.server + path, {
    method: "POST",
    headers: { "content-type": "application/json" },
    body: JSON.stringify(body),
  });
  return response.json();
}

/// A native port whose replies are awaited one message at a time.
function connect() {
  const port = chrome.runtime.connectNative(HOST);
  const waiting = [];
  let closed = null;
  port.onMessage.addListener((reply) => {
    const next = waiting.shift();
    if (next) next.resolve(reply);
  });
  port.onDisconnect.addListener(() => {
    closed = (chrome.runtime.lastError && chrome.runtime.lastError.message) || "disconnected";
    while (waiting.length) waiting.shift().reject(new Error("host disconnected: " + closed));
  });
  return {
    ask(message) {
      if (closed) return Promise.reject(new Error("host disconnected: " + closed));
      return new Promise((resolve, reject) => {
        waiting.push({ resolve, reject });
        port.postMessage(message);
      });
    },
    disconnect() {
      port.disconnect();
    },
  };
}

function toBase64(bytes) {
  let binary = "";
  for (let i = 0; i < bytes.length; i += 0x8000) {
    binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  }
  return btoa(binary);
}

async function runSession(config) {
  const envelope = {
    browser_id: config.browser_id,
    source: config.source,
    extension_id: chrome.runtime.id,
    extension_version: chrome.runtime.getManifest().version,
  };
  const steps = [];
  const host = connect();
  async function ask(label, message) {
    const reply = await host.ask({ ...message, ...envelope });
    steps.push({ label, reply });
    return reply;
  }

  await ask("ping", { type: "ping" });
  await ask("unknown type", { type: "no_such_type" });
  await ask("open_app", { type: "open_app" });
  await ask("add_download", { type: "add_download", url: config.download_url });

  // A file the browser holds as a Blob, as a generated download would be.
  const blob = await (await fetch(config.server + "/file")).blob();
  const bytes = new Uint8Array(await blob.arrayBuffer());
  await ask("blob_begin", {
    type: "blob_begin",
    transfer_id: config.transfer_id,
    filename: "generated.bin",
    content_type: "application/octet-stream",
    size: bytes.length,
    source_url: "blob:" + chrome.runtime.getURL("generated"),
    referrer: "https://example.invalid/page",
  });
  for (let offset = 0; offset < bytes.length; offset += CHUNK_BYTES) {
    const data = toBase64(bytes.subarray(offset, offset + CHUNK_BYTES));
    await ask("blob_chunk " + data.length, {
      type: "blob_chunk",
      transfer_id: config.transfer_id,
      data_base64: data,
    });
  }
  await ask("blob_end", { type: "blob_end", transfer_id: config.transfer_id });

  // The runner looks at the host process before it answers; then the port closes.
  await post(config, "/report", { steps });
  host.disconnect();
  await post(config, "/disconnected", {});
}

(async () => {
  let config = null;
  try {
    config = await loadConfig();
    await runSession(config);
  } catch (error) {
    if (config) await post(config, "/failed", { error: String(error && error.stack || error) });
  }
})();
