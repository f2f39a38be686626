<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>DriverStatus</name>
    <message>
        <source>USB CONNECTED.</source>
        <translation>USB 接続しました。</translation>
    </message>
    <message>
        <source>USB ERROR.</source>
        <translation>USB エラー。</translation>
    </message>
    <message>
        <source>USB DISCONNECTED.</source>
        <translation>USB 切断しました。</translation>
    </message>
    <message>
        <source>TCP CONNECTED.</source>
        <translation>TCP 接続しました。</translation>
    </message>
    <message>
        <source>TCP DISCONNECTED.</source>
        <translation>TCP 切断しました。</translation>
    </message>
    <message>
        <source>HEARTBEAT TIMEOUT 30S.</source>
        <translation>ハートビートが 30 秒途絶えました。</translation>
    </message>
    <message>
        <source>WEB SOCKET CONNECTED.</source>
        <translation>WebSocket 接続しました。</translation>
    </message>
    <message>
        <source>WEB SOCKET DISCONNECTED.</source>
        <translation>WebSocket 切断しました。</translation>
    </message>
    <message>
        <source>WEB SOCKET ERROR.</source>
        <translation>WebSocket エラー。</translation>
    </message>
</context>
<context>
    <name>JobRunner</name>
    <message>
        <source>%1 copy</source>
        <translation>%1 部</translation>
    </message>
    <message>
        <source>%1 copies</source>
        <translation>%1 部</translation>
    </message>
    <message>
        <source>the cutter did not confirm the stop</source>
        <translation>カッターが停止を確認しませんでした</translation>
    </message>
    <message>
        <source>the connection was lost before the job started; nothing was cut%1</source>
        <translation>ジョブの開始前に接続が切れました。何もカットしていません%1</translation>
    </message>
    <message>
        <source>the cutter did not answer within %1 s; nothing was cut</source>
        <translation>カッターが %1 秒以内に応答しませんでした。何もカットしていません</translation>
    </message>
    <message>
        <source>stopped before the job started; nothing was sent to cut</source>
        <translation>ジョブの開始前に停止しました。カットするものは何も送っていません</translation>
    </message>
    <message>
        <source>stopped without waiting for the cutter</source>
        <translation>カッターを待たずに停止しました</translation>
    </message>
    <message>
        <source>stopped; this driver cannot stop the cutter</source>
        <translation>停止しました。このドライバーはカッターを停止できません</translation>
    </message>
    <message>
        <source>the cutter stopped the job itself</source>
        <translation>カッター自身がジョブを停止しました</translation>
    </message>
    <message>
        <source>stopped by the user</source>
        <translation>ユーザーが停止しました</translation>
    </message>
    <message>
        <source>done: %1 of %2 page(s) cut</source>
        <translation>完了: %2 ページを %1 カットしました</translation>
    </message>
    <message>
        <source>done: %1 cut, one per scanned code</source>
        <translation>完了: %1 カットしました（読み取ったコードごとに 1 部）</translation>
    </message>
    <message>
        <source>the cutter scanned the code &quot;%1&quot;, which has no job (%2 not found)</source>
        <translation>カッターがコード「%1」を読み取りましたが、ジョブがありません（%2 が見つかりません）</translation>
    </message>
    <message>
        <source>not a file name</source>
        <translation>ファイル名ではありません</translation>
    </message>
    <message>
        <source>the connection was lost (%1)</source>
        <translation>接続が切れました（%1）</translation>
    </message>
    <message>
        <source>no progress for %1 s (--timeout)</source>
        <translation>%1 秒間進行がありません（--timeout）</translation>
    </message>
    <message>
        <source>confirmed: %1 of %2</source>
        <translation>確認済み: %2 のうち %1 部</translation>
    </message>
    <message>
        <source>, and %1 of %2 page(s) of copy %3</source>
        <translation>、および %3 部目の %2 ページのうち %1 ページ</translation>
    </message>
</context>
<context>
    <name>CutterConnection</name>
    <message>
        <source>the driver refused to connect to %1</source>
        <translation>ドライバーが %1 への接続を拒否しました</translation>
    </message>
    <message>
        <source>cannot open %1 (%2)</source>
        <translation>%1 を開けません（%2）</translation>
    </message>
    <message>
        <source>%1 did not open within %2 s</source>
        <translation>%1 が %2 秒以内に開きませんでした</translation>
    </message>
    <message>
        <source>connection refused by %1: is the cutter switched on, on the network, and is the port right?</source>
        <translation>%1 が接続を拒否しました: カッターの電源は入っていますか？ネットワーク上にありますか？ポートは正しいですか？</translation>
    </message>
    <message>
        <source>host %1 not found: check the address</source>
        <translation>ホスト %1 が見つかりません: アドレスを確認してください</translation>
    </message>
    <message>
        <source>no answer from %1: is the cutter on the network?</source>
        <translation>%1 から応答がありません: カッターはネットワーク上にありますか？</translation>
    </message>
    <message>
        <source>cannot connect to %1: %2</source>
        <translation>%1 に接続できません: %2</translation>
    </message>
    <message>
        <source>the cutter serves one program at a time; is another one connected to it?</source>
        <translation>カッターは一度に 1 つのプログラムにしか応じません。別のプログラムが接続していませんか？</translation>
    </message>
    <message>
        <source> (closed by the cutter before it answered: %1)</source>
        <translation>（カッターが応答前に切断しました: %1）</translation>
    </message>
    <message>
        <source>%1 closed the connection at once: %2</source>
        <translation>%1 がすぐに接続を閉じました: %2</translation>
    </message>
</context>
<context>
    <name>JobReport</name>
    <message>
        <source>Reading job %1</source>
        <translation>ジョブ %1 を読み込んでいます</translation>
    </message>
    <message>
        <source>Cutting %1%2: %3 page(s), %4, about %5 (estimate)</source>
        <translation>%1%2 をカット中: %3 ページ、%4、約 %5（見積もり）</translation>
    </message>
    <message>
        <source> from page %1 of copy %2</source>
        <translation>（%2 部目の %1 ページから）</translation>
    </message>
    <message>
        <source>QR-code job from %1, %2: waiting for the cutter to scan</source>
        <translation>%1 の QR コードジョブ、%2: カッターの読み取りを待っています</translation>
    </message>
    <message>
        <source>Scanned %1: cutting %2</source>
        <translation>%1 を読み取りました: %2 をカット中</translation>
    </message>
    <message>
        <source>page %1</source>
        <translation>%1 ページ目</translation>
    </message>
    <message>
        <source>copy %1</source>
        <translation>%1 部目</translation>
    </message>
    <message>
        <source>%1 has taken %2x its estimate; still waiting, Ctrl-C stops the cutter</source>
        <translation>%1 は見積もりの %2 倍かかっています。待機中です。Ctrl-C でカッターを停止します</translation>
    </message>
    <message>
        <source>Paused on the cutter</source>
        <translation>カッターで一時停止しました</translation>
    </message>
    <message>
        <source>Resumed</source>
        <translation>再開しました</translation>
    </message>
    <message>
        <source>Stopping: waiting for the cutter to confirm (Ctrl-C again to leave at once)</source>
        <translation>停止中: カッターの確認を待っています（もう一度 Ctrl-C ですぐに終了）</translation>
    </message>
    <message>
        <source>; to go on from page %1 of copy %2: %3</source>
        <translation>。%2 部目の %1 ページから続けるには: %3</translation>
    </message>
    <message>
        <source>copy %1/%2</source>
        <translation>%1/%2 部目</translation>
    </message>
    <message>
        <source>, page %1/%2</source>
        <translation>、%1/%2 ページ</translation>
    </message>
    <message>
        <source>, waiting for the next scanned code</source>
        <translation>、次のコードの読み取りを待っています</translation>
    </message>
    <message>
        <source>, repeated by the cutter</source>
        <translation>、カッターが繰り返し中</translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation>、残り %1</translation>
    </message>
    <message>
        <source> (estimate)</source>
        <translation>（見積もり）</translation>
    </message>
    <message>
        <source>  PAUSED (space or p resumes)</source>
        <translation>  一時停止中（スペースか p で再開）</translation>
    </message>
    <message>
        <source>progress %1% %2</source>
        <translation>進行 %1% %2</translation>
    </message>
</context>
</TS>
