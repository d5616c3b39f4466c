// Delivered frames per second and driver drops of a running `vexacam serve` while N viewers
// read its motion JPEG preview for D seconds, from the server's own figures (/api/stats).
// Each viewer reads as fast as the server sends and counts the JPEGs it got.
//   node bench/serve_viewers.mjs http://127.0.0.1:8570/ VIEWERS SECONDS
const [address = "http://127.0.0.1:8570/", viewersText = "1", secondsText = "60"] = process.argv.slice(2);
const viewers = Number(viewersText), seconds = Number(secondsText);

async function stats() { return (await fetch(address + "api/stats")).json(); }

async function watch(until, counts, index) {
  const response = await fetch(address + "preview.mjpg");
  const reader = response.body.getReader();
  const marker = Buffer.from("Content-Type: image/jpeg");
  let tail = Buffer.alloc(0);
  while (Date.now() < until) {
    const { value, done } = await reader.read();
    if (done) break;
    const chunk = Buffer.concat([tail, Buffer.from(value)]);
    for (let at = chunk.indexOf(marker); at >= 0; at = chunk.indexOf(marker, at + 1)) counts[index]++;
    tail = chunk.subarray(Math.max(0, chunk.length - marker.length + 1));
  }
  await reader.cancel();
}

const counts = new Array(viewers).fill(0);
const settle = Date.now() + 2000;
const watching = counts.map((_, i) => watch(settle + seconds * 1000, counts, i));
await new Promise((r) => setTimeout(r, 2000));
const start = await stats();
const startCounts = [...counts];
const startTime = Date.now();
await Promise.all([...watching, new Promise((r) => setTimeout(r, settle + seconds * 1000 - Date.now()))]);
const end = await stats();
const elapsed = (Date.now() - startTime) / 1000;
console.log(JSON.stringify({
  viewers, seconds: elapsed,
  delivered_fps: (end.delivered - start.delivered) / elapsed,
  driver_dropped: end.driver_dropped - start.driver_dropped,
  viewer_fps: counts.map((n, i) => +((n - startCounts[i]) / elapsed).toFixed(1)),
  cpu_ms_per_frame: end.cpu_ms_per_frame,
  encoder_ms_per_frame: end.encoder_ms_per_frame,
  preview: `${end.preview_width}x${end.preview_height}`,
}));
