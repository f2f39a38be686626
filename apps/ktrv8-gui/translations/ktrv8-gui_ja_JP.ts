<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en_US">
<context>
    <name>ConnectionBar</name>
    <message>
        <source>Cutter:</source>
        <translation>カッター:</translation>
    </message>
    <message>
        <source>USB node or network address</source>
        <translation>USB ノードまたはネットワークアドレス</translation>
    </message>
    <message>
        <source>A USB device node (/dev/ttyACM0) or a network address (192.168.1.20 or HOST:PORT, port 9100 by default)</source>
        <translation>USB デバイスノード (/dev/ttyACM0) またはネットワークアドレス (192.168.1.20 または HOST:PORT、既定のポートは 9100)</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>検索</translation>
    </message>
    <message>
        <source>List the USB nodes a cutter may be on</source>
        <translation>カッターが接続されている可能性のある USB ノードを一覧表示</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Choose a USB node or type the cutter&apos;s network address</source>
        <translation>USB ノードを選ぶか、カッターのネットワークアドレスを入力してください</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>USB node %1: %2</source>
        <translation>USB ノード %1: %2</translation>
    </message>
    <message>
        <source>unknown device</source>
        <translation>不明なデバイス</translation>
    </message>
    <message>
        <source>USB node %1 cannot be opened by this user: %2</source>
        <translation>USB ノード %1 はこのユーザーでは開けません: %2</translation>
    </message>
    <message>
        <source>No USB node found: is the cutter plugged in and switched on? A network address can be typed in.</source>
        <translation>USB ノードが見つかりません: カッターは接続され電源が入っていますか? ネットワークアドレスも入力できます。</translation>
    </message>
</context>
<context>
    <name>CutOptionsPanel</name>
    <message>
        <source>Size factor; a width or height below takes its place</source>
        <translation>拡大率。下の幅または高さを指定するとそちらが優先</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>倍率</translation>
    </message>
    <message>
        <source> mm</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>as drawn</source>
        <translation>図面どおり</translation>
    </message>
    <message>
        <source>Width × height</source>
        <translation>幅 × 高さ</translation>
    </message>
    <message>
        <source>%1°</source>
        <translation>%1°</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>回転</translation>
    </message>
    <message>
        <source>Mirror (cut from the back)</source>
        <translation>左右反転 (裏からカット)</translation>
    </message>
    <message>
        <source>Origin x, y</source>
        <translation>原点 x, y</translation>
    </message>
    <message>
        <source>none</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>A rectangle around the design at this margin, cut last</source>
        <translation>デザインの周りにこの余白で四角形を最後にカット</translation>
    </message>
    <message>
        <source>Weed box</source>
        <translation>カス取り枠</translation>
    </message>
    <message>
        <source>Closed shapes are cut on past their start by this much</source>
        <translation>閉じた形状を始点からこの長さだけ余分にカット</translation>
    </message>
    <message>
        <source>Overcut</source>
        <translation>オーバーカット</translation>
    </message>
    <message>
        <source>Drag knife: how far the blade tip trails its axis</source>
        <translation>ドラッグナイフ: 刃先が軸から遅れる距離</translation>
    </message>
    <message>
        <source>Tool offset</source>
        <translation>刃先オフセット</translation>
    </message>
    <message>
        <source>Keep the drawing&apos;s order</source>
        <translation>図面の順序を保つ (内側優先・最近傍順なし)</translation>
    </message>
    <message>
        <source>Cut without missing characters</source>
        <translation>フォントにない文字を除いてカット</translation>
    </message>
    <message>
        <source>Text with characters no installed font has is cut without them, each named, instead of being refused</source>
        <translation>インストール済みのフォントにない文字を含むテキストを、拒否せずにその文字を示して除いてカットします</translation>
    </message>
    <message>
        <source>%1
&quot;Cut without missing characters&quot; cuts the rest.</source>
        <translation>%1
「フォントにない文字を除いてカット」で残りをカットできます。</translation>
    </message>
    <message>
        <source>Cut as drawn: no inner shapes first, no nearest next</source>
        <translation>描かれた順にカット: 内側の形を先にせず、近い順にもしない</translation>
    </message>
</context>
<context>
    <name>CutPanel</name>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Asks the cutter to stop and waits for its confirmation</source>
        <translation>カッターに停止を要求し、確認を待ちます</translation>
    </message>
    <message>
        <source>No cut yet</source>
        <translation>まだカットしていません</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>再開</translation>
    </message>
    <message>
        <source>Waiting for the cutter to scan a code (jobs in %1)</source>
        <translation>カッターのコード読み取りを待っています (ジョブ: %1)</translation>
    </message>
    <message>
        <source>Scanned %1: cutting %2</source>
        <translation>%1 を読み取りました: %2 をカット中</translation>
    </message>
    <message>
        <source>Page %1 of copy %2 has taken %3x its estimate; still waiting</source>
        <translation>%2 部目の %1 ページが見積もりの %3 倍かかっています。待機中</translation>
    </message>
    <message>
        <source>Copy %1 has taken %2x its estimate; still waiting</source>
        <translation>%1 部目が見積もりの %2 倍かかっています。待機中</translation>
    </message>
    <message>
        <source>Stopping: waiting for the cutter to confirm</source>
        <translation>停止中: カッターの確認を待っています</translation>
    </message>
    <message>
        <source>Preparing the job</source>
        <translation>ジョブを準備中</translation>
    </message>
    <message>
        <source>Cutting %1 page(s), %2 copy(ies); estimate %3</source>
        <translation>%1 ページ、%2 部をカット中。見積もり %3</translation>
    </message>
    <message>
        <source>Copy %1 of %2</source>
        <translation>%2 部中 %1 部目</translation>
    </message>
    <message>
        <source>, waiting for the next scanned code</source>
        <translation>、次のコードの読み取り待ち</translation>
    </message>
    <message>
        <source>, repeated by the cutter</source>
        <translation>、カッターが繰り返し中</translation>
    </message>
    <message>
        <source>, page %1 of %2</source>
        <translation>、%2 ページ中 %1 ページ目</translation>
    </message>
    <message>
        <source> (paused)</source>
        <translation> (一時停止中)</translation>
    </message>
    <message>
        <source>estimate %1</source>
        <translation>見積もり %1</translation>
    </message>
    <message>
        <source>about %1 left</source>
        <translation>残り約 %1</translation>
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
        <source>Finished</source>
        <translation>完了</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Not completed (exit code %1): %2</source>
        <translation>未完了 (終了コード %1): %2</translation>
    </message>
    <message>
        <source>took %1</source>
        <translation>所要時間 %1</translation>
    </message>
    <message>
        <source>Fleet service</source>
        <translation>フリートサービス</translation>
    </message>
    <message>
        <source>Reports each cut to a fleet service (ktrv8-cloud): the cutter registers, shows its running job and leaves a work record</source>
        <translation>カットごとにフリートサービス (ktrv8-cloud) へ報告します：カッターが登録され、実行中のジョブが表示され、作業記録が残ります</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>アドレス</translation>
    </message>
    <message>
        <source>e.g. http://127.0.0.1:8080/ (empty: not reported)</source>
        <translation>例: http://127.0.0.1:8080/（空欄: 報告しない）</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>トークン</translation>
    </message>
    <message>
        <source>the one ktrv8-cloud printed at start</source>
        <translation>ktrv8-cloud が起動時に表示したもの</translation>
    </message>
    <message>
        <source>Device code</source>
        <translation>デバイスコード</translation>
    </message>
    <message>
        <source>what this cutter registers as</source>
        <translation>このカッターの登録名</translation>
    </message>
    <message>
        <source>Fleet service: %1; the job was not started</source>
        <translation>フリートサービス: %1。ジョブは開始されませんでした</translation>
    </message>
    <message>
        <source>Registering with the fleet service at %1</source>
        <translation>%1 のフリートサービスに登録中</translation>
    </message>
    <message>
        <source>Reporting this job to the fleet service at %1 as %2</source>
        <translation>このジョブを %1 のフリートサービスへ %2 として報告します</translation>
    </message>
    <message>
        <source>Fleet service: %1</source>
        <translation>フリートサービス: %1</translation>
    </message>
    <message>
        <source>Cuts what the failed job left: from its first unconfirmed page on</source>
        <translation>失敗したジョブの残りをカット: 最初の未確認ページから</translation>
    </message>
    <message>
        <source>Not possible: %1</source>
        <translation>できません: %1</translation>
    </message>
    <message>
        <source>%1, but not recorded: %2</source>
        <translation>%1。ただし記録されていません: %2</translation>
    </message>
    <message>
        <source>; Resume goes on from page %1 of copy %2</source>
        <translation>。「再開」でコピー %2 のページ %1 から続けます</translation>
    </message>
</context>
<context>
    <name>DrawingPartsPanel</name>
    <message>
        <source>Automatic</source>
        <translation>自動</translation>
    </message>
    <message>
        <source>Outlines go round what is darker than this</source>
        <translation>これより暗い部分を輪郭で囲みます</translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>しきい値</translation>
    </message>
    <message>
        <source>Layers</source>
        <translation>レイヤー</translation>
    </message>
    <message>
        <source>Colours</source>
        <translation>色</translation>
    </message>
    <message numerus="yes">
        <source>%1 (%n path(s))</source>
        <translation>
            <numerusform>%1（%n パス）</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>HeadPanel</name>
    <message>
        <source>Steps per press, as &quot;ktrv8 move&quot; takes them</source>
        <translation>1回の押下で動く量（&quot;ktrv8 move&quot; と同じ）</translation>
    </message>
    <message>
        <source>Set origin here</source>
        <translation>ここを原点に設定</translation>
    </message>
    <message>
        <source>Makes the head&apos;s place the cutter&apos;s origin</source>
        <translation>ヘッドの位置をカッターの原点にします</translation>
    </message>
    <message>
        <source>This cutter has no command to set its origin: each job starts where the head is</source>
        <translation>このカッターには原点を設定するコマンドがありません: 各ジョブはヘッドの位置から始まります</translation>
    </message>
    <message>
        <source>Moved the head by %1, %2</source>
        <translation>ヘッドを %1, %2 移動しました</translation>
    </message>
    <message>
        <source>The head&apos;s place is the cutter&apos;s origin now</source>
        <translation>ヘッドの位置がカッターの原点になりました</translation>
    </message>
</context>
<context>
    <name>JobPanel</name>
    <message>
        <source>No job open: open a PLT file or a drawing, or drop one on the window</source>
        <translation>ジョブがありません: PLT ファイルか図面を開くか、ウィンドウにドロップしてください</translation>
    </message>
    <message>
        <source>Open…</source>
        <translation>開く…</translation>
    </message>
    <message>
        <source>Copies</source>
        <translation>部数</translation>
    </message>
    <message>
        <source>Folder of jobs by code</source>
        <translation>コード別ジョブのフォルダ</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>選択…</translation>
    </message>
    <message>
        <source>Jobs folder</source>
        <translation>ジョブフォルダ</translation>
    </message>
    <message>
        <source>Open a job</source>
        <translation>ジョブを開く</translation>
    </message>
    <message>
        <source>Opened %1: %2 page(s)%3</source>
        <translation>%1 を開きました: %2 ページ%3</translation>
    </message>
    <message>
        <source>, converted from a drawing</source>
        <translation>、図面から変換</translation>
    </message>
    <message>
        <source>%1 holds no page to cut</source>
        <translation>%1 にはカットするページがありません</translation>
    </message>
    <message>
        <source>Refused: %1</source>
        <translation>拒否: %1</translation>
    </message>
    <message>
        <source>Refused %1: %2</source>
        <translation>%1 を拒否: %2</translation>
    </message>
    <message>
        <source>QR-code job</source>
        <translation>QR コードジョブ</translation>
    </message>
    <message>
        <source>The cutter scans a code before each copy; the job cut is FOLDER/CODE.plt</source>
        <translation>カッターが各部の前にコードを読み取り、フォルダ/コード.plt をカットします</translation>
    </message>
    <message>
        <source>reading</source>
        <translation>読み込み</translation>
    </message>
    <message>
        <source>ordering</source>
        <translation>順序付け</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>書き出し</translation>
    </message>
    <message>
        <source>Converting: %1 %p%</source>
        <translation>変換中: %1 %p%</translation>
    </message>
    <message>
        <source>The designs laid out together on the material</source>
        <translation>素材にまとめて配置するデザイン</translation>
    </message>
    <message>
        <source>Add…</source>
        <translation>追加…</translation>
    </message>
    <message>
        <source>Adds drawings or PLT jobs to cut on the same material</source>
        <translation>同じ素材でカットする図面や PLT ジョブを追加します</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>%1 files on one material</source>
        <translation>1枚の素材に %1 ファイル</translation>
    </message>
    <message>
        <source>Add designs to the material</source>
        <translation>素材にデザインを追加</translation>
    </message>
    <message>
        <source>Jobs (*.plt *.hpgl *.svg *.svgz *.pdf *.dxf *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;All files (*)</source>
        <translation>ジョブ (*.plt *.hpgl *.svg *.svgz *.pdf *.dxf *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;すべてのファイル (*)</translation>
    </message>
</context>
<context>
    <name>JobSummary</name>
    <message>
        <source>No job</source>
        <translation>ジョブなし</translation>
    </message>
    <message>
        <source>at %1 mm/s</source>
        <translation>%1 mm/s で</translation>
    </message>
    <message>
        <source>at 100 mm/s until the cutter&apos;s speed is read</source>
        <translation>カッターの速度を読み込むまでは 100 mm/s で</translation>
    </message>
    <message>
        <source>%1 × %2 mm, %3 page(s), %4 copy(ies)
Cut %5 m, pen up %6 m
About %7 %8</source>
        <translation>%1 × %2 mm、%3 ページ、%4 部
カット %5 m、ペンアップ %6 m
約 %7（%8）</translation>
    </message>
    <message>
        <source>%1 mm of its length used by one copy</source>
        <translation>1部で長さ %1 mm を使用</translation>
    </message>
    <message>
        <source>%1 mm of its length used</source>
        <translation>長さ %1 mm を使用</translation>
    </message>
    <message>
        <source>On a %1 × %2 mm sheet</source>
        <translation>%1 × %2 mm のシート</translation>
    </message>
    <message>
        <source>On a %1 mm wide roll</source>
        <translation>幅 %1 mm のロール</translation>
    </message>
    <message>
        <source>Refused, Start is off: %1</source>
        <translation>拒否されました（開始できません）: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>KT-RV8 cutter</source>
        <translation>KT-RV8 カッター</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Job</source>
        <translation>ジョブ</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>ログ</translation>
    </message>
    <message>
        <source>Scanned QR code: %1</source>
        <translation>QR コードを読み取りました: %1</translation>
    </message>
    <message>
        <source>Connecting to %1</source>
        <translation>%1 に接続中</translation>
    </message>
    <message>
        <source>Disconnected from %1</source>
        <translation>%1 から切断しました</translation>
    </message>
    <message>
        <source>Driver: %1</source>
        <translation>ドライバー: %1</translation>
    </message>
    <message>
        <source>Driver: task %1</source>
        <translation>ドライバー: タスク %1</translation>
    </message>
    <message>
        <source>No driver</source>
        <translation>ドライバーなし</translation>
    </message>
    <message>
        <source>Connecting to %1…</source>
        <translation>%1 に接続中…</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未接続</translation>
    </message>
    <message>
        <source>disconnected</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>idle</source>
        <translation>待機</translation>
    </message>
    <message>
        <source>ready</source>
        <translation>準備完了</translation>
    </message>
    <message>
        <source>paused</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Connected to %1 (%2)</source>
        <translation>%1 に接続済み (%2)</translation>
    </message>
    <message>
        <source>cannot save the screenshot to %1</source>
        <translation>スクリーンショットを %1 に保存できません</translation>
    </message>
    <message>
        <source>Connected to %1 (paused: %2)</source>
        <translation>%1 に接続 (一時停止: %2)</translation>
    </message>
    <message>
        <source>Connected to %1 (cutting: %2)</source>
        <translation>%1 に接続 (カット中: %2)</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>環境設定…</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文字</translation>
    </message>
    <message>
        <source>File and copies</source>
        <translation>ファイルと部数</translation>
    </message>
    <message>
        <source>Material and layout</source>
        <translation>素材と配置</translation>
    </message>
    <message>
        <source>Cutter options (drawings)</source>
        <translation>カッターオプション (図面)</translation>
    </message>
    <message>
        <source>Tool head</source>
        <translation>ツールヘッド</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>環境設定</translation>
    </message>
</context>
<context>
    <name>SettingsPanel</name>
    <message>
        <source>Read</source>
        <translation>読み込み</translation>
    </message>
    <message>
        <source>Read every setting from the cutter</source>
        <translation>カッターからすべての設定を読み込みます</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>適用</translation>
    </message>
    <message>
        <source>Write the changed settings, then read them back from the cutter</source>
        <translation>変更した設定を書き込み、カッターから読み戻します</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>デバイス</translation>
    </message>
    <message>
        <source>no answer from the cutter</source>
        <translation>カッターから応答がありません</translation>
    </message>
    <message>
        <source>Settings: the cutter did not answer</source>
        <translation>設定: カッターが応答しませんでした</translation>
    </message>
    <message>
        <source>Settings read; no value for %1</source>
        <translation>設定を読み込みました。%1 の値がありません</translation>
    </message>
    <message>
        <source>Settings read from the cutter</source>
        <translation>カッターから設定を読み込みました</translation>
    </message>
    <message>
        <source>Settings: nothing changed to apply</source>
        <translation>設定: 適用する変更はありません</translation>
    </message>
    <message>
        <source>not confirmed: no answer from the cutter</source>
        <translation>未確認: カッターから応答がありません</translation>
    </message>
    <message>
        <source>refused by the cutter, which keeps %1 (asked %2)</source>
        <translation>カッターが拒否、%1 のまま (要求 %2)</translation>
    </message>
    <message>
        <source>not applied: the cutter keeps %1 (asked %2)</source>
        <translation>未適用: カッターは %1 のまま (要求 %2)</translation>
    </message>
    <message>
        <source>Settings applied: %1</source>
        <translation>設定を適用しました: %1</translation>
    </message>
    <message>
        <source>Settings not taken by the cutter: %1</source>
        <translation>カッターが受け付けなかった設定: %1</translation>
    </message>
    <message>
        <source>Not while a number is out of range: %1</source>
        <translation>範囲外の数値があります: %1</translation>
    </message>
    <message>
        <source>out of range: type a number from %1</source>
        <translation>範囲外です: %1 の数値を入力してください</translation>
    </message>
    <message>
        <source>Settings: nothing applied, a number is out of range</source>
        <translation>設定: 範囲外の数値があるため適用しませんでした</translation>
    </message>
</context>
<context>
    <name>SheetOverlay</name>
    <message>
        <source>Copy %1, page %2</source>
        <translation>%1 部目 ページ %2</translation>
    </message>
    <message>
        <source>Page %1</source>
        <translation>ページ %1</translation>
    </message>
</context>
<context>
    <name>SheetPanel</name>
    <message>
        <source> mm</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>The cutter&apos;s loaded material</source>
        <translation>カッターにセットされた素材</translation>
    </message>
    <message>
        <source>The material kept for this cutter in the settings file, as ktrv8 uses it</source>
        <translation>設定ファイルにこのカッター用に保存された素材（ktrv8 と同じ）</translation>
    </message>
    <message>
        <source>Keep for this cutter</source>
        <translation>このカッター用に保存</translation>
    </message>
    <message>
        <source>any</source>
        <translation>指定なし</translation>
    </message>
    <message>
        <source>Material width</source>
        <translation>素材の幅</translation>
    </message>
    <message>
        <source>a roll</source>
        <translation>ロール</translation>
    </message>
    <message>
        <source>Material length</source>
        <translation>素材の長さ</translation>
    </message>
    <message>
        <source>How many of each design go on the material</source>
        <translation>素材に配置する各デザインの数</translation>
    </message>
    <message>
        <source>Of each design</source>
        <translation>各デザインの数</translation>
    </message>
    <message>
        <source>In rows</source>
        <translation>行に並べる</translation>
    </message>
    <message>
        <source>Arrangement</source>
        <translation>配置方法</translation>
    </message>
    <message>
        <source>Gap between designs</source>
        <translation>デザイン間の間隔</translation>
    </message>
    <message>
        <source>any cutter</source>
        <translation>すべてのカッター</translation>
    </message>
    <message>
        <source>Kept for %1: %2</source>
        <translation>%1 用に保存しました: %2</translation>
    </message>
    <message>
        <source>No material kept for %1</source>
        <translation>%1 用の素材は保存されていません</translation>
    </message>
    <message>
        <source>Scale down to fit</source>
        <translation>縮小して収める</translation>
    </message>
    <message>
        <source>A job too big for the material is scaled down to fit rather than refused</source>
        <translation>素材に収まらないジョブは拒否せず縮小して収めます</translation>
    </message>
    <message>
        <source>Nested</source>
        <translation>ネスティング</translation>
    </message>
    <message>
        <source>Nested: outlines packed against each other, turned by quarter turns where that takes less material</source>
        <translation>ネスティング: 輪郭を詰めて配置し、素材が少なくて済む場合は90度ずつ回転します</translation>
    </message>
</context>
<context>
    <name>TextTool</name>
    <message>
        <source>Type the text to cut; each line is cut as a line</source>
        <translation>カットする文字を入力；各行がそのまま1行としてカットされます</translation>
    </message>
    <message>
        <source>Cut text</source>
        <translation>文字をカット</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>フォント</translation>
    </message>
    <message>
        <source>Bold</source>
        <translation>太字</translation>
    </message>
    <message>
        <source>Italic</source>
        <translation>斜体</translation>
    </message>
    <message>
        <source> mm</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>Capital height</source>
        <translation>大文字の高さ</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>左揃え</translation>
    </message>
    <message>
        <source>Centre</source>
        <translation>中央揃え</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右揃え</translation>
    </message>
    <message>
        <source>Alignment</source>
        <translation>揃え</translation>
    </message>
    <message>
        <source>Weld touching letters into one outline</source>
        <translation>接する文字を1つの輪郭に結合（ウェルド）</translation>
    </message>
    <message>
        <source>A cut is running: the text becomes the job when it ends</source>
        <translation>カット中です: 終了後にこの文字がジョブになります</translation>
    </message>
    <message>
        <source>Not cut: %1</source>
        <translation>カットしません: %1</translation>
    </message>
    <message>
        <source>Cannot write the lettering for the job: %1</source>
        <translation>ジョブ用の文字を書き出せません: %1</translation>
    </message>
    <message>
        <source>%1 x %2 mm in %3</source>
        <translation>%1 x %2 mm（%3）</translation>
    </message>
</context>
<context>
    <name>PreviewView</name>
    <message>
        <source>Drawing the preview...</source>
        <translation>プレビューを描画しています...</translation>
    </message>
    <message>
        <source>Preparing the preview...</source>
        <translation>プレビューを準備しています...</translation>
    </message>
</context>
</TS>
